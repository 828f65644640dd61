#include "audit/CheckDino.h"

#include <fmt/format.h>

#include <array>
#include <string>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/AuditFacts.h"
#include "audit/LocationText.h"
#include "audit/MemberLines.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "audit/StatLimits.h"
#include "audit/TextConversion.h"
#include "host/AsaApi.h"
#include "host/Game.h"
#include "plugin/Config.h"

namespace {

constexpr std::array<const TCHAR*, 6> ExemptNameFragments{u"Exo",  u"Skiff", u"raft",
                                                          u"boat", u"bee",   u"titan"};
constexpr int32_t LastWildTeam = 50000;

bool IsExempt(APrimalDinoCharacter* dino, const std::vector<std::string>& whitelist) {
    if (Game::IsMissionDino(dino) || Game::IsBossDino(dino)) return true;
    const int32_t team = Game::TargetingTeam(dino);
    if (team == 6 || team == 10) return true;
    const FString& name = Game::DescriptiveName(dino);
    for (const TCHAR* fragment : ExemptNameFragments)
        if (name.Find(fragment, ESearchCase::IgnoreCase, ESearchDir::FromStart) != -1) return true;
    if (whitelist.empty()) return false;  // nothing to compare the converted name with
    const std::string utf8Name = AsaApi::Tools::Utf8Encode(name.View());
    for (const std::string& entry : whitelist)
        if (entry == utf8Name) return true;
    return false;
}

FString FencedBlock(const FString& lines) {
    FString block(Messages::MemberFence);
    block += lines;
    block += FString(Messages::MemberFence);
    return block;
}

AuditFacts GatherFacts(APrimalDinoCharacter* dino, UPrimalCharacterStatusComponent* status) {
    AuditFacts facts;
    if (AShooterGameMode* gameMode = AsaApi::GetApiUtils().CurrentGameMode())
        facts.mapName = Game::MapName(gameMode);
    facts.level = Game::CharacterLevel(status);
    const int32_t team = Game::TargetingTeam(dino);
    facts.memberBlock = FencedBlock(JoinLines(TribeMemberLines(team)));
    facts.plainMemberList = JoinLines(TribeMemberLines(team));
    return facts;
}

bool CheckOverLevel(AuditEffects& effects, APrimalDinoCharacter* dino, const AuditFacts& facts) {
    const int32_t threshold = ReadConfigKey(ConfigKeys::DestroyDinosOverLevel);
    if (threshold == -1 || facts.level < threshold) return false;
    const CreatureTexts creature = DescribeCreature(dino);
    // The report is made ready before the log line, so a URL that cannot be read stops the check
    // before anything claims the creature was destroyed.
    const std::string message =
        fmt::format(Messages::OverLevelPost, creature.name, facts.level, creature.team,
                    creature.location, ToUtf8Text(facts.memberBlock));
    std::vector<std::string> bodies = ReportBodies(message);
    Report report{AuditRule::OverLevel, WebhookUrl(), message, std::move(bodies)};
    effects.LogDestroyed(fmt::format(Messages::OverLevelLog, creature.name, facts.level,
                                     creature.team, creature.location,
                                     ToUtf8Text(facts.plainMemberList)));
    effects.Post(report);
    effects.Destroy(dino, AuditRule::OverLevel);
    return true;
}

bool CheckLevelWarning(AuditEffects& effects, APrimalDinoCharacter* dino, const AuditFacts& facts) {
    if (!ReadConfigKey(ConfigKeys::EnableLevelWarning)) return false;
    if (facts.level < ReadConfigKey(ConfigKeys::LevelWarningThreshold)) return false;
    const CreatureTexts creature = DescribeCreature(dino);
    const std::string map = ToAsciiText(facts.mapName);
    if (creature.team <= LastWildTeam)
        PostToWebhook(
            effects, AuditRule::LevelWarning,
            fmt::format(Messages::WildWarning, map, creature.name, facts.level, creature.location));
    else
        PostToWebhook(effects, AuditRule::LevelWarning,
                      fmt::format(Messages::TribeWarning, map, creature.name, facts.level,
                                  creature.team, creature.location, ToUtf8Text(facts.memberBlock)));
    return true;
}

bool CheckMinimumLevel(AuditEffects& effects, APrimalDinoCharacter* dino, const AuditFacts& facts) {
    if (facts.level > ReadConfigKey(ConfigKeys::MinDinoLevel)) return false;
    const bool destroy = ReadConfigKey(ConfigKeys::AutoDestroyDinosBelowMinLevel);
    const CreatureTexts creature = DescribeCreature(dino);
    const std::string map = ToAsciiText(facts.mapName);
    if (destroy) {
        DestroyThenPost(
            effects, dino, AuditRule::MinimumLevel,
            fmt::format(Messages::BelowMinimumDestroyed, map, creature.name, facts.level,
                        creature.team, creature.location, ToUtf8Text(facts.memberBlock)));
    } else {
        PostToWebhook(effects, AuditRule::MinimumLevel,
                      fmt::format(Messages::BelowMinimumKept, map, creature.name, facts.level,
                                  creature.team, creature.location));
    }
    return true;
}

}  // namespace

CreatureTexts DescribeCreature(APrimalDinoCharacter* dino) {
    return {ToAsciiText(Game::DescriptiveName(dino)), Game::TargetingTeam(dino),
            ToAsciiText(LocationText(dino))};
}

// Every key is read at the moment it is needed; a key of the wrong type stops the check at that
// read, and what the check already did stands.
void CheckDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
    const std::vector<std::string> whitelist = ReadConfigKey(ConfigKeys::WhitelistedDinos);
    APrimalDinoCharacter* dino = weakDino.Get();
    if (dino == nullptr || IsExempt(dino, whitelist)) return;
    UPrimalCharacterStatusComponent* status = Game::StatusComponent(dino);
    if (status == nullptr) return;
    const AuditFacts facts = GatherFacts(dino, status);
    AuditEffects& effects = ServerEffects();
    if (CheckOverLevel(effects, dino, facts) || CheckLevelWarning(effects, dino, facts) ||
        CheckMinimumLevel(effects, dino, facts))
        return;
    if (CheckIncoherentDino(effects, dino, status, facts)) return;
    CheckStatValueLimits(effects, dino, status, facts);
}

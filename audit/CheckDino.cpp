#include "audit/CheckDino.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "audit/AuditCheck.h"
#include "audit/Coherence.h"
#include "audit/MemberLines.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "audit/StatLimits.h"
#include "base/Config.h"
#include "host/AsaApi.h"
#include "host/Game.h"

namespace {

constexpr std::array<const TCHAR*, 6> ExemptNameFragments{TW_TEXT("Exo"),  TW_TEXT("Skiff"),
                                                          TW_TEXT("raft"), TW_TEXT("boat"),
                                                          TW_TEXT("bee"),  TW_TEXT("titan")};

bool IsExempt(APrimalDinoCharacter* dino, const std::vector<std::string>& whitelist) {
    if (Game::IsMissionDino(dino) || Game::IsBossDino(dino)) return true;
    const int32_t team = Game::TargetingTeam(dino);
    if (std::find(Game::ExemptTeams.begin(), Game::ExemptTeams.end(), team) !=
        Game::ExemptTeams.end())
        return true;
    const FString& name = Game::DescriptiveName(dino);
    for (const TCHAR* fragment : ExemptNameFragments)
        if (name.Find(fragment, ESearchCase::IgnoreCase, ESearchDir::FromStart) != -1) return true;
    if (whitelist.empty()) return false;  // nothing to compare the converted name with
    const std::string utf8Name = AsaApi::Tools::Utf8Encode(name.View());
    for (const std::string& entry : whitelist)
        if (entry == utf8Name) return true;
    return false;
}

bool CheckOverLevel(AuditCheck& check) {
    const int32_t threshold = check.config.destroyDinosOverLevel.Read();
    AuditFacts& facts = check.facts;
    if (threshold == -1 || facts.Level() < threshold) return false;
    const CreatureTexts& creature = facts.Creature();
    // The report is made ready before the log line, so a URL that cannot be read stops the check
    // before anything claims the creature was destroyed.
    const Report report =
        MakeReport(check, AuditRule::OverLevel,
                   fmt::format(Messages::OverLevelPost, creature.name, facts.Level(), creature.team,
                               creature.location, facts.MemberBlockText()));
    check.effects.LogDestroyed(fmt::format(Messages::OverLevelLog, creature.name, facts.Level(),
                                           creature.team, creature.location,
                                           facts.MemberListText()));
    check.effects.Post(report);
    const DestructionRecord record = MakeDestructionRecord(
        check, AuditRule::OverLevel, LevelThreshold{threshold}, report.message);
    check.effects.Destroy(check.dino, AuditRule::OverLevel);
    check.effects.RecordDestruction(record);
    return true;
}

bool CheckLevelWarning(AuditCheck& check) {
    if (!check.config.enableLevelWarning.Read()) return false;
    AuditFacts& facts = check.facts;
    if (facts.Level() < check.config.levelWarningThreshold.Read()) return false;
    const CreatureTexts& creature = facts.Creature();
    if (creature.team <= Game::LastWildTeam)
        PostToWebhook(check, AuditRule::LevelWarning,
                      fmt::format(Messages::WildWarning, facts.MapText(), creature.name,
                                  facts.Level(), creature.location));
    else
        PostToWebhook(
            check, AuditRule::LevelWarning,
            fmt::format(Messages::TribeWarning, facts.MapText(), creature.name, facts.Level(),
                        creature.team, creature.location, facts.MemberBlockText()));
    return true;
}

bool CheckMinimumLevel(AuditCheck& check) {
    AuditFacts& facts = check.facts;
    const int32_t minimum = check.config.minDinoLevel.Read();
    if (facts.Level() > minimum) return false;
    const bool destroy = check.config.autoDestroyDinosBelowMinLevel.Read();
    const CreatureTexts& creature = facts.Creature();
    if (destroy)
        DestroyThenPost(
            check, AuditRule::MinimumLevel,
            fmt::format(Messages::BelowMinimumDestroyed, facts.MapText(), creature.name,
                        facts.Level(), creature.team, creature.location, facts.MemberBlockText()),
            LevelThreshold{minimum});
    else
        PostToWebhook(check, AuditRule::MinimumLevel,
                      fmt::format(Messages::BelowMinimumKept, facts.MapText(), creature.name,
                                  facts.Level(), creature.team, creature.location));
    return true;
}

}  // namespace

void CheckDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
    AuditCreature(weakDino, CurrentConfig(), ServerEffects());
}

// Every key is read at the moment it is needed; a key of the wrong type stops the check at that
// read, and what the check already did stands.
void AuditCreature(TWeakObjectPtr<APrimalDinoCharacter> weakDino, const ConfigSnapshot& config,
                   AuditEffects& effects) {
    const std::vector<std::string>& whitelist = config.whitelistedDinos.Read();
    APrimalDinoCharacter* dino = weakDino.Get();
    if (dino == nullptr || IsExempt(dino, whitelist)) return;
    UPrimalCharacterStatusComponent* status = Game::StatusComponent(dino);
    if (status == nullptr) return;
    AuditFacts facts(dino, Game::CharacterLevel(status), effects);
    // The owner lookups teach the game mode ids whether or not a rule acts; the texts they would
    // make wait until a report needs them.
    LearnOwnerIds(Game::TargetingTeam(dino), effects);
    AuditCheck check{dino, status, config, effects, facts};
    effects.RulesBegin(dino);
    if (CheckOverLevel(check) || CheckLevelWarning(check) || CheckMinimumLevel(check)) return;
    if (CheckIncoherentDino(check)) return;
    CheckStatValueLimits(check);
}

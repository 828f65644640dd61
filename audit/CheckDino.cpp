#include "audit/CheckDino.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "audit/AuditCheck.h"
#include "audit/MemberLines.h"
#include "audit/OnlinePlayers.h"
#include "audit/RuleIdentity.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
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

}  // namespace

void CheckDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
    AuditCreature(weakDino, CurrentConfig(), ServerEffects());
}

// Every key is read at the moment it is needed; a key of the wrong type stops the check at that
// read, and what the check already did stands.
void AuditCreature(TWeakObjectPtr<APrimalDinoCharacter> weakDino, const ConfigSnapshot& config,
                   AuditEffects& effects) {
    const std::vector<std::string>& whitelist = config.WhitelistedDinos.Read();
    APrimalDinoCharacter* dino = weakDino.Get();
    if (dino == nullptr || IsExempt(dino, whitelist)) return;
    UPrimalCharacterStatusComponent* status = Game::StatusComponent(dino);
    if (status == nullptr) return;
    AuditFacts facts(dino, Game::CharacterLevel(status), effects);
    // Every member's question about the online players is answered from one index, also when
    // the check runs outside a host call that keeps one.
    const OnlinePlayersCall oneCheck;
    // The owner lookups teach the game mode ids whether or not a rule acts; the texts they would
    // make wait until a report needs them.
    LearnOwnerIds(Game::TargetingTeam(dino), effects);
    AuditCheck check{weakDino, dino, status, config, effects, facts};
    effects.RulesBegin(dino);
    for (const RuleIdentity& rule : AllRules())
        if (rule.check(check)) return;
}

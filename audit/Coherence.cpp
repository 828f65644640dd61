// The coherence rule: a creature's level must be one plus the level-up points and mutations on
// the stats that count toward it; an incoherent creature is reported, or destroyed and reported.
#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "host/Game.h"

namespace {

// Widened, so the lowest level cannot overflow when compared with it.
int64_t LevelPointsSum(UPrimalCharacterStatusComponent* status) {
    const uint8_t* points = Game::LevelUpPointsApplied(status);
    const uint8_t* tamedPoints = Game::LevelUpPointsAppliedTamed(status);
    const uint8_t* mutations = Game::MutationsAppliedTamed(status);
    int64_t sum = 0;
    for (int stat = 0; stat < Game::StatCount; ++stat)
        if (Game::Stats[static_cast<size_t>(stat)].countsTowardLevel)
            sum += points[stat] + tamedPoints[stat] + mutations[stat];
    return sum;
}

}  // namespace

bool CheckIncoherentDino(AuditCheck& check) {
    AuditFacts& facts = check.facts;
    const int64_t pointsSum = LevelPointsSum(check.status);
    if (pointsSum == static_cast<int64_t>(facts.Level()) - 1) return false;
    const bool destroy = check.config.DestroyIncoherentDinos.Read();
    const CreatureTexts& creature = facts.Creature();
    if (destroy)
        DestroyThenPost(
            check, AuditRule::Incoherent,
            fmt::format(DestroyedPostOf(AuditRule::Incoherent), facts.MapText(), creature.name,
                        facts.Level(), creature.location, facts.MemberBlockText()),
            LevelAgainstPoints{facts.Level(), pointsSum});
    else
        PostToWebhook(check, AuditRule::Incoherent,
                      fmt::format(Messages::IncoherentDetected, facts.MapText(), creature.name,
                                  facts.Level(), creature.location, facts.MemberBlockText()));
    return true;
}

std::string IncoherentStatus(const ConfigSnapshot& config) {
    if (const auto error = config.DestroyIncoherentDinos.Error()) return StopsChecks(*error);
    return config.DestroyIncoherentDinos.Read() ? "destroy" : "report";
}

#include "audit/Coherence.h"

#include <fmt/format.h>

#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "host/Game.h"

namespace {

bool IsLevelCoherent(UPrimalCharacterStatusComponent* status) {
    const int32_t level = Game::CharacterLevel(status);
    const uint8_t* points = Game::LevelUpPointsApplied(status);
    const uint8_t* tamedPoints = Game::LevelUpPointsAppliedTamed(status);
    const uint8_t* mutations = Game::MutationsAppliedTamed(status);
    int32_t sum = 0;
    for (int stat = 0; stat < Game::StatCount; ++stat)
        if (Game::Stats[static_cast<size_t>(stat)].countsTowardLevel)
            sum += points[stat] + tamedPoints[stat] + mutations[stat];
    // Widened, so the lowest level cannot overflow.
    return sum == static_cast<int64_t>(level) - 1;
}

}  // namespace

bool CheckIncoherentDino(AuditCheck& check) {
    if (IsLevelCoherent(check.status)) return false;
    const bool destroy = check.config.destroyIncoherentDinos.Read();
    AuditFacts& facts = check.facts;
    const CreatureTexts& creature = facts.Creature();
    if (destroy)
        DestroyThenPost(check, AuditRule::Incoherent,
                        fmt::format(Messages::IncoherentDestroyed, facts.MapText(), creature.name,
                                    facts.Level(), creature.location, facts.MemberBlockText()));
    else
        PostToWebhook(check, AuditRule::Incoherent,
                      fmt::format(Messages::IncoherentDetected, facts.MapText(), creature.name,
                                  facts.Level(), creature.location, facts.MemberBlockText()));
    return true;
}

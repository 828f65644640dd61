#include "audit/StatLimits.h"

#include <fmt/format.h>

#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "host/Game.h"

bool CheckStatValueLimits(AuditCheck& check) {
    if (!check.config.destroyDinosOverStatValue.Read()) return false;
    if (!check.config.statValueLimits.AnyReached(Game::CurrentStatusValues(check.status)))
        return false;
    AuditFacts& facts = check.facts;
    const CreatureTexts& creature = facts.Creature();
    DestroyThenPost(
        check, AuditRule::StatLimit,
        fmt::format(Messages::OverStatLimitDestroyed, facts.MapText(), creature.name, facts.Level(),
                    creature.location, creature.team, facts.MemberBlockText()));
    return true;
}

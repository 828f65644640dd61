// The stat-value limits, the last rule of a check: a coherent creature whose current value of a
// stat reaches its configured limit is destroyed and reported.
#include <fmt/format.h>

#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "host/Game.h"

bool CheckStatValueLimits(AuditCheck& check) {
    if (!check.config.destroyDinosOverStatValue.Read()) return false;
    const float* values = Game::CurrentStatusValues(check.status);
    const auto reached = check.config.statValueLimits.FirstReached(values);
    if (!reached) return false;
    AuditFacts& facts = check.facts;
    const CreatureTexts& creature = facts.Creature();
    DestroyThenPost(
        check, AuditRule::StatLimit,
        fmt::format(Messages::OverStatLimitDestroyed, facts.MapText(), creature.name, facts.Level(),
                    creature.location, creature.team, facts.MemberBlockText()),
        StatAgainstLimit{*reached->stat, reached->limit, values[*reached->stat]});
    return true;
}

// The stat-value limits, the last rule of a check: a coherent creature whose current value of a
// stat reaches its configured limit is destroyed and reported.
#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Notifier.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "host/Game.h"

bool CheckStatValueLimits(AuditCheck& check) {
    if (!check.config.DestroyDinosOverStatValue.Read()) return false;
    const float* values = Game::CurrentStatusValues(check.status);
    const auto reached = check.config.StatValueLimits.FirstReached(values);
    if (!reached) return false;
    AuditFacts& facts = check.facts;
    const CreatureTexts& creature = facts.Creature();
    DestroyThenPost(
        check, AuditRule::StatLimit,
        fmt::format(DestroyedPostOf(AuditRule::StatLimit), facts.MapText(), creature.name,
                    facts.Level(), creature.location, creature.team, facts.MemberBlockText()),
        StatAgainstLimit{*reached->stat, reached->limit, values[*reached->stat]});
    return true;
}

std::string StatLimitsStatus(const ConfigSnapshot& config) {
    if (const auto error = config.DestroyDinosOverStatValue.Error()) return StopsChecks(*error);
    if (!config.DestroyDinosOverStatValue.Read()) return "off";
    std::string limits;
    for (const StatLimitsSetting::Limit& entry : config.StatValueLimits.Limits()) {
        if (!entry.stat || entry.limit <= 0) continue;
        limits += fmt::format("{}{} >= {}", limits.empty() ? "" : ", ",
                              Game::Stats[*entry.stat].name, entry.limit);
    }
    std::string state = limits.empty() ? "on, no limit set" : "destroy at " + limits;
    if (const auto error = config.StatValueLimits.Error()) state += ", then " + StopsChecks(*error);
    return state;
}

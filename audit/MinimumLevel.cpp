// The minimum-level rule: a creature at or below the minimum level is reported, or destroyed and
// reported.
#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"

bool CheckMinimumLevel(AuditCheck& check) {
    AuditFacts& facts = check.facts;
    const int32_t minimum = check.config.MinDinoLevel.Read();
    if (check.config.MinDinoLevel.OutOfRange() || facts.Level() > minimum) return false;
    const bool destroy = check.config.AutoDestroyDinosBelowMinLevel.Read();
    const CreatureTexts& creature = facts.Creature();
    if (destroy)
        DestroyThenPost(
            check, AuditRule::MinimumLevel,
            fmt::format(DestroyedPostOf(AuditRule::MinimumLevel), facts.MapText(), creature.name,
                        facts.Level(), creature.team, creature.location, facts.MemberBlockText()),
            LevelThreshold{minimum});
    else
        PostToWebhook(check, AuditRule::MinimumLevel,
                      fmt::format(Messages::BelowMinimumKept, facts.MapText(), creature.name,
                                  facts.Level(), creature.team, creature.location));
    return true;
}

// No creature has a negative level, so a negative minimum never acts.
std::string MinimumLevelStatus(const ConfigSnapshot& config) {
    if (const auto error = config.MinDinoLevel.Error()) return StopsChecks(*error);
    if (config.MinDinoLevel.OutOfRange()) return ConfigKeys::OutOfRangeText;
    const int32_t level = config.MinDinoLevel.Read();
    if (level < 0) return "off";
    if (const auto error = config.AutoDestroyDinosBelowMinLevel.Error())
        return fmt::format("at level <= {}, {}", level, StopsChecks(*error));
    return fmt::format("{} at level <= {}",
                       config.AutoDestroyDinosBelowMinLevel.Read() ? "destroy" : "report", level);
}

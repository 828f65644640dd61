// The level warning: a creature at or above the warning level is reported, wild or of a tribe.
#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "host/Game.h"

bool CheckLevelWarning(AuditCheck& check) {
    if (!check.config.EnableLevelWarning.Read()) return false;
    AuditFacts& facts = check.facts;
    const int32_t threshold = check.config.LevelWarningThreshold.Read();
    if (check.config.LevelWarningThreshold.OutOfRange() || facts.Level() < threshold) return false;
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

std::string LevelWarningStatus(const ConfigSnapshot& config) {
    if (const auto error = config.EnableLevelWarning.Error()) return StopsChecks(*error);
    if (!config.EnableLevelWarning.Read()) return "off";
    if (const auto error = config.LevelWarningThreshold.Error())
        return "on, " + StopsChecks(*error);
    if (config.LevelWarningThreshold.OutOfRange()) return ConfigKeys::OutOfRangeText;
    return fmt::format("report at level >= {}", config.LevelWarningThreshold.Read());
}

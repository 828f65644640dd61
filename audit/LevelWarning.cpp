// The level warning: a creature at or above the warning level is reported, wild or of a tribe.
#include <fmt/format.h>

#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "host/Game.h"

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

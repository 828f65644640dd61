// The over-level rule, the first of a check: a creature at or above the level limit is logged,
// reported, destroyed and recorded.
#include <fmt/format.h>

#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"

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

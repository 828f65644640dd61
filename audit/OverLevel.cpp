// The over-level rule, the first of a check: a creature at or above the level limit is logged,
// reported, destroyed and recorded.
#include "audit/AuditCheck.h"
#include "audit/AuditRules.h"
#include "audit/ClaimedDestructions.h"
#include "audit/Destruction.h"
#include "audit/Messages.h"
#include "audit/Notifier.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"

bool CheckOverLevel(AuditCheck& check) {
    const int32_t threshold = check.config.DestroyDinosOverLevel.Read();
    AuditFacts& facts = check.facts;
    if (threshold == -1 || facts.Level() < threshold) return false;
    const CreatureTexts& creature = facts.Creature();
    // Everything that can fail is made ready before the log line (the report with its URL, the
    // journal's record, the game's destroy), and the record is written, so a failure stops the
    // check before anything claims the creature was destroyed.
    const Report report =
        MakeReport(check, AuditRule::OverLevel,
                   fmt::format(DestroyedPostOf(AuditRule::OverLevel), creature.name, facts.Level(),
                               creature.team, creature.location, facts.MemberBlockText()));
    const std::string line = fmt::format(Messages::OverLevelLog, creature.name, facts.Level(),
                                         creature.team, creature.location, facts.MemberListText());
    Destruction destruction(check, AuditRule::OverLevel, LevelThreshold{threshold}, report.message);
    if (!destruction.Recorded()) return true;
    if (!DestructionClaimed(check.weak)) {
        NoteDestructionClaimed(check.weak);  // forgotten once the destroy call returns
        check.effects.LogDestroyed(line);
        check.effects.Post(report);
    }
    destruction.Carry();
    ForgetDestructionClaim(check.weak);
    return true;
}

std::string OverLevelStatus(const ConfigSnapshot& config) {
    if (const auto error = config.DestroyDinosOverLevel.Error()) return StopsChecks(*error);
    if (config.DestroyDinosOverLevel.OutOfRange()) return ConfigKeys::OutOfRangeText;
    const int32_t level = config.DestroyDinosOverLevel.Read();
    return level == -1 ? "off" : fmt::format("destroy at level >= {}", level);
}

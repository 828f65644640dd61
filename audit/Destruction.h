// One creature's destruction by a destroying rule, written ahead: everything that can fail is made
// ready first (the journal's record, the game's destroy), then the record reaches the journal,
// then the game destroys, and its answer counts. A creature whose record cannot be written is
// held, not destroyed, and nothing may claim it.
#pragma once

#include <cstdint>
#include <string>

#include "audit/AuditCheck.h"
#include "audit/DestructionRecord.h"
#include "host/Game.h"

class Destruction {
public:
    Destruction(AuditCheck& check, AuditRule rule, const Comparison& compared,
                const std::string& report);

    // The destroy brake lets it through and its record is in the journal (or none is kept);
    // false when the creature is held, by the one or the other.
    bool Recorded();
    // The game's destroy: true when it destroyed. A false answer or a throw is said and the
    // record marked not done; a throw then goes on, as the destroy's failure.
    bool Carry();
    // The warning line of a destruction the journal recorded, by the rules that have no line of
    // their own; nothing when no journal is kept.
    void LogDestroyed();

private:
    std::string Creature() const;  // "dino(Rex) level 1200 team 1000060001"

    AuditCheck& check;
    AuditRule rule;
    PendingRecord record;
    Game::DestroyFunction* destroy;
    uint64_t seq = 0;
};

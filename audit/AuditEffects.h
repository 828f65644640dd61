// Everything a check does to the world goes through this one seam: the over-level log line, the
// posts, the destructions, the journal's record of each and the ids it teaches the game mode. The
// live server carries them out; a preview or a dry run records the same calls and changes nothing.
// The rules never ask which.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/EngineTypes.h"
#include "host/Game.h"

// One of the rules, in audit/AuditRules.h: a new rule rebuilds only the files that name them.
enum class AuditRule;

// A report ready to leave: the rule that made it, the URL read for it, its chat text and the
// request body of each post it takes (one, or one per part of a long message), and the creature
// and level that name it in the log should it be lost.
class PendingRecord;

struct Report {
    AuditRule rule;
    std::string url;
    std::string message;
    std::vector<std::string> bodies;
    std::string creature;
    int32_t level = 0;
};

class AuditEffects {
public:
    virtual ~AuditEffects() = default;
    // The creature is not exempt and the rules are tried on it now: no effect, but what a
    // preview or a dry run counts as the creatures the first rule sees.
    virtual void RulesBegin(APrimalDinoCharacter*) {}
    // The warning-level line of a destruction, formatted.
    virtual void LogDestroyed(const std::string& line) = 0;
    virtual void Post(const Report& report) = 0;
    // Asked once before a destruction, when all it needs is ready: false holds the creature (the
    // destroy brake), and the rule ends the check with no effect at all. A recorder answers true,
    // so a preview or a dry run shows what the rules would do.
    virtual bool MayDestroy(const FWeakObjectPtr&, AuditRule) { return true; }
    // Before a destroy: its record reaches the journal. The record's seq, 0 when no journal is
    // kept; none when it could not be written, and then the creature is held, not destroyed.
    // `creature` names it ("dino(Rex) level 1200 team 1000060001") when the record could not be
    // made; a record names its creature itself.
    virtual std::optional<uint64_t> WriteAhead(const PendingRecord&,
                                               const TWeakObjectPtr<APrimalDinoCharacter>&,
                                               const std::string&) {
        return 0;
    }
    // Destroys the creature with the game's destroy, which the rule looked up beforehand: the
    // game's answer.
    virtual bool Destroy(APrimalDinoCharacter* dino, AuditRule rule,
                         Game::DestroyFunction* destroy) = 0;
    // A destroy that threw or answered false: one warning line, and its record (seq, 0 for none)
    // marked not done.
    virtual void NotDestroyed(const std::string&, AuditRule, uint64_t, const std::string&) {}
    // Whether these effects keep a journal, so that a destroying rule makes its record: the live
    // ones do; a recorder keeps none, and reading the game for a record it drops would only add
    // failures nobody hears of.
    virtual bool KeepsJournal() const { return false; }
    // Hands the game mode an EOS id it did not know, found among the online players.
    virtual void AddPlayerId(AShooterGameMode* gameMode, int32_t playerId,
                             const FString& eosId) = 0;
};

// The effects of the checks this process runs: the live ones, unless a dry run put a recorder
// in their place.
AuditEffects& ServerEffects();

// What the live effects did since the library was loaded.
struct EffectCounts {
    uint64_t destroyed = 0;
    uint64_t reported = 0;
};
EffectCounts LiveEffectCounts();
// A dry run's recorder takes the live effects' place; null puts the live ones back.
void ReplaceServerEffects(AuditEffects* effects);

// What the journal keeps of one destroyed creature: enough to answer its owners and to rebuild it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/MemberLines.h"
#include "host/GameFacts.h"

struct AuditCheck;

// What each destroying rule compared: a level with its threshold, a level with the points that
// should make it up, or a stat's value with its limit.
struct LevelThreshold {
    int32_t threshold;
};
struct LevelAgainstPoints {
    int32_t level;
    int64_t pointsSum;
};
struct StatAgainstLimit {
    size_t stat;  // index into Game::Stats
    float limit;
    float value;
};
using Comparison = std::variant<LevelThreshold, LevelAgainstPoints, StatAgainstLimit>;

template <typename T>
using PerStat = std::array<T, Game::Stats.size()>;

struct DestructionRecord {
    AuditRule rule;
    std::string map;
    std::string creature;  // UTF-8
    int32_t level = 0;
    int32_t team = 0;
    std::optional<std::array<double, 3>> location;  // none without a root component
    std::vector<Owner> owners;
    Comparison compared;
    PerStat<uint8_t> levelUpPoints{};
    PerStat<uint8_t> tamedLevelUpPoints{};
    PerStat<uint8_t> tamedMutations{};
    PerStat<float> statValues{};
    std::string report;  // the message as posted, before any split
};

// Reads the record while the creature still exists; the rule destroys it afterwards.
DestructionRecord MakeDestructionRecord(AuditCheck& check, AuditRule rule,
                                        const Comparison& compared, const std::string& report);

// A destroying rule's record, made before the rule's first effect and only when the journal is
// on and the effects keep one. Making it reads the game, which can fail; that failure is kept, not
// raised, and the creature is held like one whose record cannot be written.
class PendingRecord {
public:
    PendingRecord(AuditCheck& check, AuditRule rule, const Comparison& compared,
                  const std::string& report);
    // The record; none when the journal is off or the record could not be made (Failure says).
    const DestructionRecord* Record() const { return record ? &*record : nullptr; }
    const std::string* Failure() const { return failure ? &*failure : nullptr; }

private:
    std::optional<DestructionRecord> record;
    std::optional<std::string> failure;
};

// What the rules would do to every creature in the world now, with no effect at all: the
// audit's own checks, with a recorder in the place of their effects. Nothing is destroyed,
// posted, queued or logged, and the game learns nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/RuleIdentity.h"
#include "base/ConfigSnapshotFwd.h"

inline constexpr size_t ListedCreatures = 10;

// What one rule does to the creatures it sees: those not exempt that no rule before it acted on.
// Each of them it destroys (and reports), only reports, or leaves to the rules after it.
struct RuleTally {
    uint64_t reached = 0;
    uint64_t destroyed = 0;
    uint64_t onlyReported = 0;
    uint64_t Left() const { return reached - destroyed - onlyReported; }
};
// A tally for each rule, by AuditRule, each empty at first.
struct RuleTallies {
    std::vector<RuleTally> byRule = std::vector<RuleTally>(AllRules().size());

    RuleTally& operator[](size_t rule) { return byRule[rule]; }
    const RuleTally& operator[](size_t rule) const { return byRule[rule]; }
    size_t size() const { return byRule.size(); }
    auto begin() const { return byRule.begin(); }
    auto end() const { return byRule.end(); }
};

// Counts one finished check: whether it reached the rules, and the rule that acted, if any.
void CountCheck(RuleTallies& tallies, bool reachedRules, std::optional<AuditRule> actedBy,
                bool destroyed);

// "over-level: of 6 creature(s), destroy 1, only report 0, leave 5": the preview's and the dry
// run's words for what a rule does.
std::string TallyText(AuditRule rule, const RuleTally& tally);

// More than a tenth of the creatures a rule reaches is rarely meant, unless they are this few;
// more than CreaturesMeant is never meant.
inline constexpr uint64_t FewCreatures = 5;
inline constexpr uint64_t CreaturesMeant = 50;
bool DestroysLargeShare(const RuleTally& tally);

// What a preview begins with when the configuration would destroy more than the destroy brake's
// limit, or a large share of what a rule reaches: "WARNING: would destroy 9 creature(s): ...".
// Empty when neither.
std::string DestructionWarning(const RuleTallies& tallies, const ConfigSnapshot& config);

struct PreviewedCreature {
    std::string description;  // name, level, team and location
    AuditRule rule;
    bool destroyed;
};

struct PreviewResult {
    uint64_t checked = 0;                   // creatures whose check ran to its end
    RuleTallies tallies;                    // by AuditRule
    uint64_t actedOn = 0;                   // creatures any rule acted on
    std::vector<PreviewedCreature> listed;  // the first of them, at most ListedCreatures
    // When a check failed: the creature, the key it stopped at (empty when no key read failed)
    // and the error's text. The creatures after it were not looked at.
    std::optional<std::string> stoppedAt;
    std::string failingKey;
    std::string failure;
};

PreviewResult PreviewWorld(const ConfigSnapshot& config);

// "Rex level 1200 team 1000050001 at X=1.000 Y=2.000 Z=3.000".
std::string DescribeForOperator(APrimalDinoCharacter* dino);

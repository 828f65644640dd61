// The rules a check tries, in their order, and what each one is: its names, whether it can
// destroy, the key that makes it destroy less and what it posts when it destroys. A new rule
// changes this file, so only what names a rule includes it; what only reads the rows includes
// audit/RuleIdentity.h.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "audit/RuleIdentity.h"

// The rules in the order a check tries them.
enum class AuditRule { OverLevel, LevelWarning, MinimumLevel, Incoherent, StatLimit };

// Each rule, in a file of its own, has its check and its status (see RuleIdentity).
bool CheckOverLevel(AuditCheck& check);
std::string OverLevelStatus(const ConfigSnapshot& config);
bool CheckLevelWarning(AuditCheck& check);
std::string LevelWarningStatus(const ConfigSnapshot& config);
bool CheckMinimumLevel(AuditCheck& check);
std::string MinimumLevelStatus(const ConfigSnapshot& config);
bool CheckIncoherentDino(AuditCheck& check);
std::string IncoherentStatus(const ConfigSnapshot& config);
bool CheckStatValueLimits(AuditCheck& check);
std::string StatLimitsStatus(const ConfigSnapshot& config);

// A destroying post names its creature as "dino({})": that is how a claim names it. Each "{}" is
// filled in order, as in audit/Messages.h.
inline constexpr std::array AuditRules{
    RuleIdentity{.rule = AuditRule::OverLevel,
                 .check = CheckOverLevel,
                 .status = OverLevelStatus,
                 .name = "over-level",
                 .journalName = "over-level",
                 .destroyingKey = "DestroyDinosOverLevel",
                 // name, level, team, location, members
                 .destroyedPost = "# Destroyed dino({}) level {} from tribe {} at {}\nMembers: {}"},
    RuleIdentity{.rule = AuditRule::LevelWarning,
                 .check = CheckLevelWarning,
                 .status = LevelWarningStatus,
                 .name = "level warning",
                 .journalName = "",
                 .destroyingKey = "",
                 .destroyedPost = ""},
    RuleIdentity{
        .rule = AuditRule::MinimumLevel,
        .check = CheckMinimumLevel,
        .status = MinimumLevelStatus,
        .name = "minimum level",
        .journalName = "below-minimum",
        .destroyingKey = "MinDinoLevel",
        // map, name, level, team, location, members
        .destroyedPost = "# [**{}**] DELETED dino({}) level {} from tribe {} at {}\nMembers: {}"},
    RuleIdentity{
        .rule = AuditRule::Incoherent,
        .check = CheckIncoherentDino,
        .status = IncoherentStatus,
        .name = "incoherent",
        .journalName = "incoherent",
        .destroyingKey = "DestroyIncoherentDinos",
        // map, name, level, location, members
        .destroyedPost = "# [**{}**] Deleted **incoherent** dino({}) level {} at {}\nMembers: {}"},
    RuleIdentity{.rule = AuditRule::StatLimit,
                 .check = CheckStatValueLimits,
                 .status = StatLimitsStatus,
                 .name = "stat limits",
                 .journalName = "stat-limit",
                 .destroyingKey = "StatValueLimits",
                 // map, name, level, location, team, members
                 .destroyedPost = "# [**{}**] Deleted **over stat limit** dino({}) level {} at "
                                  "{}. Tribe id: {}\nMembers:\n{}"},
};

inline constexpr size_t RuleCount = AuditRules.size();

// A rule's post when it destroys, as a constant: the format is checked where it is filled.
constexpr const char* DestroyedPostOf(AuditRule rule) {
    return AuditRules[static_cast<size_t>(rule)].destroyedPost;
}

namespace AuditRulesCheck {

// Whether AuditRule has a rule at this place. No default: a rule added to AuditRule and not named
// here does not build.
constexpr bool IsRule(size_t index) {
    switch (static_cast<AuditRule>(index)) {
        case AuditRule::OverLevel:
        case AuditRule::LevelWarning:
        case AuditRule::MinimumLevel:
        case AuditRule::Incoherent:
        case AuditRule::StatLimit:
            return true;
    }
    return false;
}

// Compares characters only: the library's search compares addresses with null, which is no
// constant where the sanitisers instrument it.
constexpr bool HoldsText(const char* text, const char* part) {
    for (; *text != '\0'; ++text) {
        size_t at = 0;
        while (part[at] != '\0' && text[at] == part[at]) ++at;
        if (part[at] == '\0') return true;
    }
    return false;
}

// Each row at its rule's place, and named.
constexpr bool EveryRowComplete() {
    for (size_t index = 0; index < RuleCount; ++index) {
        const RuleIdentity& identity = AuditRules[index];
        if (identity.rule != static_cast<AuditRule>(index) || identity.name[0] == '\0' ||
            identity.CanDestroy() != (identity.destroyedPost[0] != '\0'))
            return false;
        // The creature a destroying post claims is named as every claim names it.
        if (identity.CanDestroy() && !HoldsText(identity.destroyedPost, "dino({})")) return false;
    }
    return true;
}

static_assert(!IsRule(RuleCount), "a rule of AuditRule has no row in AuditRules");
static_assert(EveryRowComplete(), "each row of AuditRules at its rule's place, and complete");

}  // namespace AuditRulesCheck

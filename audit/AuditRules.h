// The rules a check tries, in their order, and what each one is: its names, the keys it reads and
// whether it can destroy. Everything that names, counts or runs the rules takes them from here.
#pragma once

#include <array>
#include <cstddef>
#include <string>

#include "audit/Messages.h"
#include "base/ConfigKeys.h"

struct AuditCheck;
struct ConfigSnapshot;

// The rules in the order a check tries them.
enum class AuditRule { OverLevel, LevelWarning, MinimumLevel, Incoherent, StatLimit };

// Each rule, in a file of its own, has two functions. Its check acts on the creature or leaves it
// to the rules after it: true when it acted, which ends the check. Its status is what it does
// with the configuration in force, as tmwd.status says it after the rule's name.
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

// A rule's status when a key it reads has the wrong type: every check stops there.
inline std::string StopsChecks(const std::string& error) { return "stops checks: " + error; }

struct RuleIdentity {
    AuditRule rule;
    bool (*check)(AuditCheck& check);
    std::string (*status)(const ConfigSnapshot& config);
    const char* name;         // tmwd.status, the preview and the dry run: "stat limits"
    const char* journalName;  // the journal and its reader: "stat-limit"; "" when it never destroys
    // The keys it reads, in the order it reads them (the name of a ConfigKeys key, or null).
    std::array<const char* const*, 2> keys;
    // The key an operator changes to make it destroy less; null when it never destroys.
    const char* const* destroyingKey;
    // Its post when it destroys (audit/Messages.h), which claims the destruction; "" when it
    // never destroys.
    const char* destroyedPost;

    // Read from the journal name: an address compared with null is no constant where the
    // sanitisers instrument it, and the check below must be one.
    constexpr bool CanDestroy() const { return journalName[0] != '\0'; }
};

inline constexpr std::array AuditRules{
    RuleIdentity{AuditRule::OverLevel,
                 CheckOverLevel,
                 OverLevelStatus,
                 "over-level",
                 "over-level",
                 {&ConfigKeys::DestroyDinosOverLevel.name},
                 &ConfigKeys::DestroyDinosOverLevel.name,
                 Messages::OverLevelPost},
    RuleIdentity{AuditRule::LevelWarning,
                 CheckLevelWarning,
                 LevelWarningStatus,
                 "level warning",
                 "",
                 {&ConfigKeys::EnableLevelWarning.name, &ConfigKeys::LevelWarningThreshold.name},
                 nullptr,
                 ""},
    RuleIdentity{AuditRule::MinimumLevel,
                 CheckMinimumLevel,
                 MinimumLevelStatus,
                 "minimum level",
                 "below-minimum",
                 {&ConfigKeys::MinDinoLevel.name, &ConfigKeys::AutoDestroyDinosBelowMinLevel.name},
                 &ConfigKeys::MinDinoLevel.name,
                 Messages::BelowMinimumDestroyed},
    RuleIdentity{AuditRule::Incoherent,
                 CheckIncoherentDino,
                 IncoherentStatus,
                 "incoherent",
                 "incoherent",
                 {&ConfigKeys::DestroyIncoherentDinos.name},
                 &ConfigKeys::DestroyIncoherentDinos.name,
                 Messages::IncoherentDestroyed},
    RuleIdentity{AuditRule::StatLimit,
                 CheckStatValueLimits,
                 StatLimitsStatus,
                 "stat limits",
                 "stat-limit",
                 {&ConfigKeys::DestroyDinosOverStatValue.name, &ConfigKeys::StatValueLimits.name},
                 &ConfigKeys::StatValueLimits.name,
                 Messages::OverStatLimitDestroyed},
};

inline constexpr size_t RuleCount = AuditRules.size();

constexpr const RuleIdentity& IdentityOf(AuditRule rule) {
    return AuditRules[static_cast<size_t>(rule)];
}

// "over-level", "level warning", "minimum level", "incoherent", "stat limits".
constexpr const char* RuleName(AuditRule rule) { return IdentityOf(rule).name; }

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

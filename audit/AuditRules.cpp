#include "audit/AuditRules.h"

#include "base/ConfigKeys.h"

namespace {

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

constexpr bool SameText(const char* one, const char* other) {
    for (; *one != '\0' && *one == *other; ++one, ++other) {
    }
    return *one == *other;
}

constexpr bool IsKey(const char* name) {
    for (const char* key : ConfigKeys::KeyNames)
        if (SameText(key, name)) return true;
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
            identity.CanDestroy() != (identity.destroyedPost[0] != '\0') ||
            identity.CanDestroy() != IsKey(identity.destroyingKey))
            return false;
        // The creature a destroying post claims is named as every claim names it.
        if (identity.CanDestroy() && !HoldsText(identity.destroyedPost, "dino({})")) return false;
    }
    return true;
}

static_assert(!IsRule(RuleCount), "a rule of AuditRule has no row in AuditRules");
static_assert(EveryRowComplete(), "each row of AuditRules at its rule's place, and complete");

}  // namespace

std::span<const RuleIdentity> AllRules() { return AuditRules; }

const RuleIdentity& IdentityOf(AuditRule rule) { return AuditRules[static_cast<size_t>(rule)]; }

const char* RuleName(AuditRule rule) { return IdentityOf(rule).name; }

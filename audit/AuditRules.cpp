#include "audit/AuditRules.h"

#include "base/ConfigKeys.h"

namespace {

// Compares characters, as a constant.
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

// Each destroying row names a key of the table, as the checker names it to an operator.
constexpr bool EveryDestroyingKeyIsAKey() {
    for (const RuleIdentity& identity : AuditRules)
        if (identity.CanDestroy() != IsKey(identity.destroyingKey)) return false;
    return true;
}

static_assert(EveryDestroyingKeyIsAKey(), "a destroying rule's key is not in the key table");

}  // namespace

std::span<const RuleIdentity> AllRules() { return AuditRules; }

const RuleIdentity& IdentityOf(AuditRule rule) { return AuditRules[static_cast<size_t>(rule)]; }

const char* RuleName(AuditRule rule) { return IdentityOf(rule).name; }

// What each rule is, as the code that names, counts or runs the rules reads it. The rules
// themselves, in their order, are in audit/AuditRules.h, which a new rule changes; this file does
// not change with them, so neither do the files that include only it.
#pragma once

#include <span>
#include <string>

struct AuditCheck;
struct ConfigSnapshot;
enum class AuditRule;  // audit/AuditRules.h

struct RuleIdentity {
    AuditRule rule;
    // Its check acts on the creature or leaves it to the rules after it: true when it acted,
    // which ends the check. Its status is what it does with the configuration in force, as
    // tmwd.status says it after the rule's name.
    bool (*check)(AuditCheck& check);
    std::string (*status)(const ConfigSnapshot& config);
    const char* name;         // tmwd.status, the preview and the dry run: "stat limits"
    const char* journalName;  // the journal and its reader: "stat-limit"; "" when it never destroys
    // The key an operator changes to make it destroy less; "" when it never destroys.
    const char* destroyingKey;
    // Its post when it destroys, which claims the destruction; "" when it never destroys.
    const char* destroyedPost;

    // Read from the journal name: an address compared with null is no constant where the
    // sanitisers instrument it, and the table's checks must be constants.
    constexpr bool CanDestroy() const { return journalName[0] != '\0'; }
};

// Every rule, in the order a check tries them: the row of rule n of AuditRule is AllRules()[n].
std::span<const RuleIdentity> AllRules();
const RuleIdentity& IdentityOf(AuditRule rule);
// The rule's name in tmwd.status, the preview and the dry run: "over-level".
const char* RuleName(AuditRule rule);

// A rule's status when a key it reads has the wrong type: every check stops there.
inline std::string StopsChecks(const std::string& error) { return "stops checks: " + error; }

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
    RuleIdentity{AuditRule::OverLevel, CheckOverLevel, OverLevelStatus, "over-level", "over-level",
                 "DestroyDinosOverLevel",
                 // name, level, team, location, members
                 "# Destroyed dino({}) level {} from tribe {} at {}\nMembers: {}"},
    RuleIdentity{AuditRule::LevelWarning, CheckLevelWarning, LevelWarningStatus, "level warning",
                 "", "", ""},
    RuleIdentity{AuditRule::MinimumLevel, CheckMinimumLevel, MinimumLevelStatus, "minimum level",
                 "below-minimum", "MinDinoLevel",
                 // map, name, level, team, location, members
                 "# [**{}**] DELETED dino({}) level {} from tribe {} at {}\nMembers: {}"},
    RuleIdentity{AuditRule::Incoherent, CheckIncoherentDino, IncoherentStatus, "incoherent",
                 "incoherent", "DestroyIncoherentDinos",
                 // map, name, level, location, members
                 "# [**{}**] Deleted **incoherent** dino({}) level {} at {}\nMembers: {}"},
    RuleIdentity{AuditRule::StatLimit, CheckStatValueLimits, StatLimitsStatus, "stat limits",
                 "stat-limit", "StatValueLimits",
                 // map, name, level, location, team, members
                 "# [**{}**] Deleted **over stat limit** dino({}) level {} at {}. Tribe id: "
                 "{}\nMembers:\n{}"},
};

inline constexpr size_t RuleCount = AuditRules.size();

// A rule's post when it destroys, as a constant: the format is checked where it is filled.
constexpr const char* DestroyedPostOf(AuditRule rule) {
    return AuditRules[static_cast<size_t>(rule)].destroyedPost;
}

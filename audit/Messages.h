// Every text the audit sends or logs, but the posts that claim a destruction: each is in its
// rule's row (audit/AuditRules.h). Each "{}" is filled in order; "\n" is one line feed; the
// asterisks, brackets, "#" and backticks are the chat service's markup.
#pragma once

namespace Messages {

// Over-level destruction's log line: name, level, team, location, members.
inline constexpr char OverLevelLog[] =
    "Destroyed dino({}) level {} from tribe {} at {}\nMembers: {}";

// Level warning: map, name, level, location (wild); map, name, level, team, location, members.
inline constexpr char WildWarning[] = "[**{}**] Detected **wild** dino({}) level {} at {}";
inline constexpr char TribeWarning[] =
    "# [**{}**] Detected dino({}) level {} from tribe {} at {}\nMembers: {}";

// Minimum level kept: map, name, level, team, location.
inline constexpr char BelowMinimumKept[] =
    "# [**{}**] Detected dino({}) level {} from tribe {} at {}";

// Incoherent level kept: map, name, level, location, members.
inline constexpr char IncoherentDetected[] =
    "# [**{}**] Detected **incoherent** dino({}) level {} at {}\nMembers: {}";

// What the log says of each destruction by a rule without a line of its own: the creature, the
// rule's journal name, the record's seq. The creature: name, level, team.
inline constexpr char DestroyedLog[] = "Destroyed {} ({}), journal seq {}";
inline constexpr char DestroyedCreature[] = "dino({}) level {} team {}";
// A destroy that did not happen: the creature, the rule's journal name, why.
inline constexpr char NotDestroyedLog[] = "Not destroyed: {} ({}): {}";
inline constexpr char NotDestroyedMarked[] =
    "Not destroyed: {} ({}), journal seq {} marked not done: {}";
inline constexpr char DestroyAnsweredFalse[] =
    "APrimalDinoCharacter.Destroy(bool,bool) answered false";

// Member lines: a single owner (character name, EOS id), a tribe member with an id (name, EOS
// id), and a tribe member beyond the ids the game gave (name).
inline constexpr char OwnerLine[] = "{} - EOS Id: {}";
inline constexpr char TribeMemberLine[] = "{} - EOS id: {}";
inline constexpr char TribeMemberWithoutIdLine[] = "{} - player id: ";

inline constexpr char MemberFence[] = "```";

}  // namespace Messages

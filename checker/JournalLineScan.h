// One journal line checked as JSON in a single pass, without building a document: what makes a
// query over millions of records fast. The members a listing needs are handed back as views.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace checker {

// A destroy the game refused after its record was written is marked by a later line of the same
// journal: {"time":...,"notDone":SEQ,"reason":...}.
enum class LineVerdict { Record, NotDoneMark, CutShort, NotJson, NotUtf8, MemberMissing };

struct ScannedLine {
    LineVerdict verdict = LineVerdict::NotJson;
    std::string_view missing;  // the first required member absent or of the wrong type
    // Each top-level member's JSON text as written (strings with their quotes); empty if absent.
    std::string_view time, seq, rule, map, creature, level, owners, location;
    std::string_view notDone, reason;  // a not-done mark's
};

// A record is one JSON object holding "time", "rule" and "creature" as strings and "seq" as a
// whole number; a not-done mark holds "time" and "reason" as strings and "notDone" as a whole
// number instead of "seq". A line that ends inside a value was cut short; one whose strings are
// not valid UTF-8 is no JSON text either, and said so apart.
ScannedLine ScanJournalLine(std::string_view line);

// One owner of a record, each member's JSON text as written; empty if absent.
struct ScannedOwner {
    std::string_view name, playerId, eosId;
};

// Calls `each` for every object in the "owners" member's text; other entries are passed over.
void ForEachOwner(std::string_view owners, const std::function<void(const ScannedOwner&)>& each);

// A whole-number member's value ("seq", "notDone"); 0 when it is none.
uint64_t ScannedNumber(std::string_view member);

// A string member's text without its quotes, escapes decoded.
std::string DecodedString(std::string_view member);

}  // namespace checker

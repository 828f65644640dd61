// One journal line checked as JSON in a single pass, without building a document: what makes a
// query over millions of records fast. The members a listing needs are handed back as views.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace checker {

enum class LineVerdict { Record, CutShort, NotJson, MemberMissing };

struct ScannedLine {
    LineVerdict verdict = LineVerdict::NotJson;
    std::string_view missing;  // the first required member absent or of the wrong type
    // Each top-level member's JSON text as written (strings with their quotes); empty if absent.
    std::string_view time, seq, rule, map, creature, level, owners, location;
};

// A record is one JSON object holding "time", "rule" and "creature" as strings and "seq" as a
// whole number. A line that ends inside a value was cut short.
ScannedLine ScanJournalLine(std::string_view line);

// One owner of a record, each member's JSON text as written; empty if absent.
struct ScannedOwner {
    std::string_view name, playerId, eosId;
};

// Calls `each` for every object in the "owners" member's text; other entries are passed over.
void ForEachOwner(std::string_view owners, const std::function<void(const ScannedOwner&)>& each);

// A string member's text without its quotes, escapes decoded.
std::string DecodedString(std::string_view member);

}  // namespace checker

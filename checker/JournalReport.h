// tamewarden-check --journal: the destructions a journal holds, one readable line each, oldest
// first, then the count per rule.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace checker {

struct JournalQuery {
    std::string file;
    std::optional<std::string> owner;  // an owner's name or EOS id, case ignored
    std::optional<std::string> since;  // UTC, "2026-12-09" or "2026-12-09T18:30"
};

// The matching records of a journal as text. A line that is not a record is named by its
// number and skipped.
std::string JournalText(std::istream& journal, const JournalQuery& query);

// Runs the journal query when the arguments ask for one ("--journal FILE [--owner TEXT]
// [--since DATE]"): its exit status, 2 for wrong arguments or a file that cannot be read.
// None when the arguments do not name a journal.
std::optional<int> RunJournalQuery(const std::vector<std::string>& arguments);

}  // namespace checker

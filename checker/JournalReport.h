// tamewarden-check --journal: the destructions the journals of one or more servers hold, merged
// oldest first, one readable line each (or each record whole), then the count per rule and what
// could not be read.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace checker {

struct JournalQuery {
    std::vector<std::string> journals;    // files and folders, as named
    std::optional<std::string> owner;     // a name, EOS id or player id, case ignored
    std::optional<std::string> creature;  // part of the creature's name, case ignored
    std::optional<std::string> since;     // UTC, "2026-12-09", "2026-12-09T18:30" or with seconds
    std::optional<std::string> until;     // the same; the whole day, minute or second counts
    bool json = false;                    // each matching record whole, as written
};

// "2026-12-09", "2026-12-09 18:30" or "2026-12-09 18:30:05" (also with "T" for the space) as
// the start of a journal time ("2026-12-09T18:30:05"); none when it is no such date.
std::optional<std::string> JournalTimePrefix(const std::string& date);

// Runs the journal query when the arguments ask for one: its exit status (0 all read, 1 lines
// skipped or records missing, 2 wrong arguments or a file or folder that holds no journal).
// None when the arguments do not name a journal.
std::optional<int> RunJournalQuery(const std::vector<std::string>& arguments);

}  // namespace checker

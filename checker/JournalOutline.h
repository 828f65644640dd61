// What a first look at one journal finds before its records are listed: its files in the order of
// the seq they begin with (a clock set back upsets the times in their names, never the
// numbering), and the files that cannot be read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "checker/JournalSources.h"

namespace checker {

struct JournalOutline {
    std::vector<std::filesystem::path> files;  // the readable ones, by the first seq each holds
    std::vector<std::string> unreadable;       // "<file>: skipped, cannot be read: <reason>"
};

// Reads each file up to its first record only.
JournalOutline OutlineJournal(const JournalSource& source);

// "<file>: skipped, " and why the file cannot be read.
std::string UnreadableFileNotice(const std::filesystem::path& file);

}  // namespace checker

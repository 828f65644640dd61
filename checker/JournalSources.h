// Which files a journal query reads: a file as named, or a server's journal folder with its
// rotated files, oldest first.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace checker {

// One server's journal, or one file of it: its files in the order they were written.
struct JournalSource {
    std::string given;  // as named on the command line
    std::vector<std::filesystem::path> files;
};

// Every rotated "destroyed-*.jsonl" of a folder, oldest first, then its "destroyed.jsonl". A
// file is taken as it is. Throws std::runtime_error naming a path that is missing or a folder
// that holds no journal.
JournalSource FindJournalFiles(const std::string& given);

}  // namespace checker

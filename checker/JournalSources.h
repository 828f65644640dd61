// Which files a journal query reads: a file as named, or every server's journal in a plugin folder
// (or in the plugin folder beneath a server's root folder), each with its rotated files.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace checker {

// One server's journal, or one file of it. Servers sharing a plugin folder each keep their own:
// "destroyed.jsonl" and its rotated "destroyed-<UTC time>.jsonl", "destroyed.2.jsonl" and its
// "destroyed.2-<UTC time>.jsonl", and so on.
struct JournalSource {
    std::string given;                         // as named on the command line
    std::string stem;                          // "destroyed", "destroyed.2", ...
    std::vector<std::filesystem::path> files;  // rotated ones by the times in their names, then
                                               // the current one; their records order them
};

// The journals of a folder by server slot ("destroyed" first), a file taken as it is. A folder
// holding ArkApi/Plugins/TameWarden is a server's root folder, and that folder is read. Throws
// std::runtime_error naming a path that is missing, a file that cannot be read or a folder that
// holds no journal.
std::vector<JournalSource> FindJournals(const std::string& given);

}  // namespace checker

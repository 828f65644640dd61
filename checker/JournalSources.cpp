#include "checker/JournalSources.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "checker/FileTrouble.h"

namespace checker {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view Prefix = "destroyed", Suffix = ".jsonl";

// A journal file's name: its stem, its server slot (1 for "destroyed"), and whether it is rotated.
struct JournalName {
    std::string stem;
    unsigned slot = 1;
    bool rotated = false;
};

std::optional<JournalName> ReadJournalName(const std::string& name) {
    if (!name.starts_with(Prefix) || !name.ends_with(Suffix) ||
        name.size() < Prefix.size() + Suffix.size())
        return std::nullopt;
    std::string_view rest(name.data() + Prefix.size(), name.size() - Prefix.size() - Suffix.size());
    JournalName journal{std::string(Prefix)};
    if (rest.starts_with(".")) {
        const char* first = rest.data() + 1;
        const char* last = rest.data() + rest.size();
        const auto [end, error] = std::from_chars(first, last, journal.slot);
        if (error != std::errc() || end == first) return std::nullopt;
        journal.stem = std::string(Prefix) + "." + std::string(first, end);
        rest.remove_prefix(static_cast<size_t>(end - rest.data()));
    }
    if (!rest.empty() && !rest.starts_with("-")) return std::nullopt;
    journal.rotated = !rest.empty();
    return journal;
}

// Rotated names hold their UTC time, and a second rotation within the same millisecond adds
// "-2", "-3", ...: the time, then that number, give the order they were written in.
std::tuple<std::string, int> RotationOrder(const std::string& name) {
    const std::string stem = name.substr(0, name.size() - Suffix.size());
    const size_t dash = stem.rfind('-');
    int copy = 1;
    if (dash != std::string::npos && dash > 0 && stem[dash - 1] == 'Z') {
        const char* first = stem.data() + dash + 1;
        const char* last = stem.data() + stem.size();
        if (std::from_chars(first, last, copy).ptr == last) return {stem.substr(0, dash), copy};
    }
    return {stem, 1};
}

}  // namespace

std::vector<JournalSource> FindJournals(const std::string& given) {
    const fs::path named(given);
    std::error_code error;
    const fs::file_status status = fs::status(named, error);
    if (!fs::exists(status)) throw std::runtime_error(given + ": no such file or folder");
    if (!fs::is_directory(status)) {
        if (const std::optional<std::string> trouble = FileTrouble(named))
            throw std::runtime_error(given + ": " + *trouble);
        const std::optional<JournalName> journal = ReadJournalName(named.filename().string());
        return {{given, journal ? journal->stem : named.filename().string(), {named}}};
    }
    const fs::path beneath = named / "ArkApi" / "Plugins" / "TameWarden";
    const fs::path folder = fs::is_directory(beneath, error) ? beneath : named;
    // By slot; within one, the rotated files by the times in their names, then the current one.
    std::map<std::pair<unsigned, std::string>, std::vector<std::pair<JournalName, std::string>>>
        journals;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        const std::optional<JournalName> journal = ReadJournalName(name);
        if (journal && entry.is_regular_file(error))
            journals[{journal->slot, journal->stem}].emplace_back(*journal, name);
    }
    std::vector<JournalSource> sources;
    for (auto& [slot, files] : journals) {
        std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
            return std::make_tuple(!a.first.rotated, RotationOrder(a.second)) <
                   std::make_tuple(!b.first.rotated, RotationOrder(b.second));
        });
        JournalSource source{given, files.front().first.stem, {}};
        for (const auto& file : files) source.files.push_back(folder / file.second);
        sources.push_back(std::move(source));
    }
    if (sources.empty())
        throw std::runtime_error(folder.string() +
                                 ": holds no journal (no destroyed.jsonl, no destroyed-*.jsonl)");
    return sources;
}

}  // namespace checker

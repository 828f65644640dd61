#include "checker/JournalSources.h"

#include <algorithm>
#include <charconv>
#include <stdexcept>
#include <tuple>

namespace checker {
namespace {

namespace fs = std::filesystem;

bool IsRotatedName(const std::string& name) {
    return name.starts_with("destroyed-") && name.ends_with(".jsonl");
}

// Rotated names hold their UTC time, and a second rotation within the same millisecond adds
// "-2", "-3", ...: the time, then that number, give the order they were written in.
std::tuple<std::string, int> RotationOrder(const std::string& name) {
    const std::string stem = name.substr(0, name.size() - std::string_view(".jsonl").size());
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

JournalSource FindJournalFiles(const std::string& given) {
    const fs::path path(given);
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (!fs::exists(status)) throw std::runtime_error(given + ": no such file or folder");
    if (!fs::is_directory(status)) return {given, {path}};
    std::vector<std::string> rotated;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
        const std::string name = entry.path().filename().string();
        if (IsRotatedName(name) && entry.is_regular_file(error)) rotated.push_back(name);
    }
    std::sort(rotated.begin(), rotated.end(), [](const std::string& a, const std::string& b) {
        return RotationOrder(a) < RotationOrder(b);
    });
    JournalSource source{given, {}};
    for (const std::string& name : rotated) source.files.push_back(path / name);
    if (fs::is_regular_file(path / "destroyed.jsonl", error))
        source.files.push_back(path / "destroyed.jsonl");
    if (source.files.empty())
        throw std::runtime_error(given +
                                 ": holds no journal (no destroyed.jsonl, no destroyed-*.jsonl)");
    return source;
}

}  // namespace checker

#include "checker/ConfigFile.h"

#include <fstream>
#include <iterator>

#include "checker/FileTrouble.h"

namespace checker {
namespace {

std::string WholeText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The mistakes of hand-written JSON that the parser's own words do not name, told by the
// character it stopped at (`byte` counts from 1).
std::string Hint(const std::string& text, size_t byte) {
    if (byte == 0 || byte > text.size()) return "";
    const char stopped = text[byte - 1];
    if (stopped == '/')
        return "; hint: comments (// or /* */) are not allowed in JSON: remove them";
    if (stopped == '\'')
        return "; hint: JSON strings take double quotes (\"), not single quotes (')";
    if (stopped == ']' || stopped == '}') {
        const size_t before = text.find_last_not_of(" \t\r\n", byte - 2);
        if (byte >= 2 && before != std::string::npos && text[before] == ',')
            return std::string("; hint: a trailing comma before '") + stopped +
                   "' is not allowed in JSON: remove the comma";
    }
    return "";
}

}  // namespace

ConfigFile ReadConfigFile(const std::filesystem::path& path) {
    if (const std::optional<std::string> trouble = FileTrouble(path))
        throw ConfigUnreadable(*trouble +
                               " (the plugin would fail to load: \"Can't open config.json\")");
    const std::string whole = WholeText(path);
    if (whole.find_first_not_of(" \t\r\n") == std::string::npos)
        throw ConfigUnreadable(
            "the file is empty (the plugin would fail to load: a JSON parse error); write {} "
            "for every key at its default");
    std::ifstream file(path, std::ios::binary);
    ConfigFile config;
    try {
        file >> config.document;
    } catch (const nlohmann::json::parse_error& error) {
        throw ConfigUnreadable(error.what() + Hint(whole, error.byte));
    }
    // Whatever follows the value; its place is counted from the whole text.
    file.clear();
    const std::streamoff consumed = file.tellg();
    const std::string rest{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto start = rest.find_first_not_of(" \t\r\n");
    config.duplicates =
        FindDuplicateKeys(consumed < 0 ? whole : whole.substr(0, static_cast<size_t>(consumed)));
    if (consumed < 0 || start == std::string::npos) return config;
    config.trailingText = rest.substr(start);
    const size_t offset = static_cast<size_t>(consumed) + start;
    config.trailingLine = 1;
    config.trailingColumn = 1;
    for (size_t index = 0; index < offset && index < whole.size(); ++index) {
        if (whole[index] == '\n') {
            ++config.trailingLine;
            config.trailingColumn = 1;
        } else {
            ++config.trailingColumn;
        }
    }
    return config;
}

}  // namespace checker

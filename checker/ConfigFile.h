// Reading a config.json the way the plugin does, so the checker sees exactly the JSON value the
// plugin would get.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "checker/DuplicateKeys.h"

namespace checker {

// The file cannot be opened or is not well-formed JSON; what() says which, with the library's
// parse error (number, line and column) for the latter and a hint for a comment, a trailing
// comma or single quotes.
class ConfigUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ConfigFile {
    nlohmann::json document;
    // Text after the first JSON value, which the plugin neither reads nor rejects.
    std::optional<std::string> trailingText;
    int trailingLine = 0, trailingColumn = 0;
    // Keys set twice in one object, of which the plugin reads the last.
    std::vector<DuplicateKey> duplicates;
};

// One stream extraction, as the plugin's ReadConfig does. Throws ConfigUnreadable, also for a
// file holding nothing but white space, which it names as empty.
ConfigFile ReadConfigFile(const std::filesystem::path& path);

}  // namespace checker

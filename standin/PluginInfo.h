// PluginInfo.json, the description the host reads beside a plugin's library before loading it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace standin {

struct PluginInfo {
    std::string fullName;
    std::string description;
    double version = 0;
    double minApiVersion = 0;
    std::vector<std::string> dependencies;  // names of plugins that must be loaded first
};

// Reads and validates the file. Throws std::runtime_error whose text is the file's path, ": " and
// the reason (cannot be opened, the parse error, a missing field or a field of the wrong type).
PluginInfo ReadPluginInfo(const std::filesystem::path& file);

}  // namespace standin

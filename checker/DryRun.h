// The audit of a world in the stand-in with the operator's config and the real plugin library,
// sending nothing: what each rule would destroy and report, with the exact texts of the posts.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace checker {

// One post, with the rule that made it and the creature it is about.
struct Finding {
    std::string rule;  // the key that switches the rule: "DestroyDinosOverLevel", ...
    bool destroyed = false;
    std::string creature;  // the world file's key; empty when it cannot be told apart
    std::string url;
    std::string body;     // exactly as it would be posted
    std::string message;  // the body's "content"
};

struct DryRunResult {
    std::vector<Finding> findings;        // in the order of the posts
    std::vector<std::string> destroyed;   // creatures the plugin destroyed, in order
    std::vector<nlohmann::json> posts;    // {"url","body"}, in order
    std::vector<std::string> notChecked;  // removed by the world before their deferred check
    std::vector<nlohmann::json> logs;     // the plugin's log records: {"level","text"}
    bool failed() const;                  // a critical log line: load or checks failed
};

// Loads the world file (throws standin::WorldFileError), puts the config in a temporary server
// folder, loads the plugin library there (the startup sweep runs at load), lets the creatures
// with "beginPlayAt" begin play in time order and runs the deferred checks once they are due.
// A creature the world removes within the check delay of its beginning play is removed before its
// check, as on a running server. Posts are recorded, never sent; the world file is only read.
DryRunResult RunDry(const std::filesystem::path& configPath, const std::filesystem::path& worldPath,
                    const std::filesystem::path& pluginPath);

}  // namespace checker

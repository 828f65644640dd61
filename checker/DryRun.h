// The audit of a world in the stand-in with the operator's config and the plugin's own code,
// changing and sending nothing: what each rule would destroy and report, with the exact texts.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "audit/Preview.h"

namespace checker {

// One report, with the rule that made it and the creature it is about.
struct Finding {
    std::string rule;  // the rule's name, as tmwd.status and the preview name it: "over-level", ...
    bool destroyed = false;
    std::string creature;     // the world file's key
    std::string description;  // name, level, team and location, as the preview describes it
    std::string url;
    std::vector<std::string> bodies;  // exactly as they would be posted, one per post
    std::string message;              // the chat text
};

// The check that failed: the creature, and the failure line the plugin logged for it.
struct StoppedCheck {
    std::string creature;  // the world file's key
    std::string description;
    std::string line;
};

struct DryRunResult {
    RuleTallies tallies;                     // what each rule did to the creatures it saw
    std::optional<StoppedCheck> stopped;     // the first check that failed, if one did
    std::vector<std::string> creatureNames;  // the name of each creature of the world file
    std::vector<Finding> findings;           // in the order of the reports
    std::vector<std::string> destroyed;      // creatures the plugin would destroy, in order
    std::vector<nlohmann::json> posts;       // {"url","body"}, one per post, in order
    std::vector<std::string> notChecked;     // removed by the world before their deferred check
    std::vector<nlohmann::json> logs;        // the plugin's log records: {"level","text"}
    std::string warning;  // what the run begins with, as tmwd.preview's (DestructionWarning)
    bool failed() const;  // a critical log line: load or checks failed
};

// Loads the world file (throws standin::WorldFileError) and runs the plugin's code in this
// process as the host would: its load with the config from a temporary server folder (the
// startup sweep), then the creatures with "beginPlayAt" begin play in time order and the deferred
// checks run once due. A creature the world removes within the check delay of its beginning play
// is removed before its check, as on a running server. The checks' effects are recorded, never
// carried out; the world file is only read. The log names the operator's config file, not the
// temporary copy the run read.
DryRunResult RunDry(const std::filesystem::path& configPath,
                    const std::filesystem::path& worldPath);

}  // namespace checker

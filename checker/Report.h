// What the checker prints: readable text for a terminal, or one JSON document with --json.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "checker/ConfigProblems.h"
#include "checker/DryRun.h"

namespace checker {

struct Report {
    std::string configPath;
    std::optional<std::string> unreadable;  // why the config could not be read
    std::vector<Problem> problems;          // notes among them, most harmful first
    std::optional<std::string> worldPath;
    std::optional<std::string> worldUnreadable;  // why the world file could not be played
    std::optional<DryRunResult> dryRun;
};

// 0: clean (notes allowed); 1: problems found (or the dry run logged a critical line);
// 2: the config or the world file unreadable.
int ExitStatus(const Report& report);
std::string ReportText(const Report& report);
nlohmann::json ReportJson(const Report& report);

}  // namespace checker

// The problems only a world shows: what the dry run would destroy, and whitelist entries that
// miss a creature of the world by letter case alone.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "checker/ConfigProblems.h"
#include "checker/DryRun.h"

namespace checker {

std::vector<Problem> CheckAgainstWorld(const nlohmann::json& document, const DryRunResult& run,
                                       const std::string& worldPath);

}  // namespace checker

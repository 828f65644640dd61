// The checks of a configuration document: every problem found, each with the key at fault, what
// was found, what was expected and what the plugin will do with it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "checker/ConfigFile.h"

namespace checker {

struct Problem {
    std::string key;  // a top-level key, "Key.Member", "Key[index]", or "(top level)"
    std::string found;
    std::string expected;
    std::string effect;
};

std::vector<Problem> CheckConfig(const ConfigFile& config);

}  // namespace checker

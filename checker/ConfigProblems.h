// The checks of a configuration document: every problem found, each with the key at fault, what
// was found, what was expected and what the plugin will do with it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "checker/ConfigFile.h"

namespace checker {

// What a problem can cost, most harmful first: the order the problems are listed in. A note
// is not a problem: the plugin does what was meant, written another way.
enum class Harm { DestroysCreatures, StopsChecks, LosesReports, Misleads, Note };

struct Problem {
    Harm harm;
    std::string key;  // a top-level key, "Key.Member", "Key[index]", or "(top level)"
    std::string found;
    std::string expected;
    std::string effect;
};

std::vector<Problem> CheckConfig(const ConfigFile& config);
// What only a world could settle, said when there is none: an over-level threshold ordinary
// creatures reach.
std::vector<Problem> CheckWithoutWorld(const ConfigFile& config);

// Most harmful first; problems of the same harm keep their order.
void SortMostHarmfulFirst(std::vector<Problem>& problems);

}  // namespace checker

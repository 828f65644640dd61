// The readable account printed when the server stops: what was in the world and what the
// plugin did to it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace standin {

std::string Summary(size_t creaturesAtLoad, const std::vector<nlohmann::json>& events);

}  // namespace standin

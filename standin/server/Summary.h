// The readable account printed when the server stops: what was in the world and what the
// plugin did to it.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace standin {

// `chatListening`: the chat stand-in ran, so its counts are shown.
std::string Summary(size_t creaturesAtLoad, const std::vector<nlohmann::json>& events,
                    bool chatListening);

}  // namespace standin

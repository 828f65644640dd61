#include "standin/server/Summary.h"

#include <set>

namespace standin {
namespace {

std::string Joined(const std::vector<std::string>& keys) {
    std::string text;
    for (const auto& key : keys) text += (text.empty() ? "" : ", ") + key;
    return text.empty() ? "-" : text;
}

}  // namespace

std::string Summary(size_t creaturesAtLoad, const std::vector<nlohmann::json>& events,
                    bool chatListening) {
    std::vector<std::string> beganPlay, destroyed, despawned;
    std::set<std::string> despawnedKeys;
    size_t posts = 0, consoleReplies = 0, rconReplies = 0;
    size_t chatAccepted = 0, chatTooLong = 0, chatRateLimited = 0;
    std::string replies;
    for (const auto& event : events) {
        const std::string type = event.value("type", "");
        const std::string creature = event.value("creature", "");
        if (type == "beginPlay") beganPlay.push_back(creature);
        if (type == "despawn") despawnedKeys.insert(creature);
        if (type == "destroyed") {
            // A removal by the world's schedule is preceded by its despawn event.
            if (despawnedKeys.count(creature) != 0)
                despawned.push_back(creature);
            else
                destroyed.push_back(creature);
        }
        if (type == "post") ++posts;
        if (type == "chatReceived") ++chatAccepted;
        if (type == "chatRefused" && event.value("reason", "") == "too long") ++chatTooLong;
        if (type == "chatRefused" && event.value("reason", "") == "rate limit") ++chatRateLimited;
        if (type == "reply") {
            const bool console = event.value("channel", "") == "console";
            ++(console ? consoleReplies : rconReplies);
            replies += "    " + std::string(console ? "console" : "rcon   ") + ": " +
                       event.value("text", "") + "\n";
        }
    }
    std::string text = "=== Summary ===\n";
    text += "Creatures in the world at load: " + std::to_string(creaturesAtLoad) + "\n";
    text += "Creatures that began play:      " + std::to_string(beganPlay.size()) + " (" +
            Joined(beganPlay) + ")\n";
    text += "Destroyed by the plugin:        " + std::to_string(destroyed.size()) + " (" +
            Joined(destroyed) + ")\n";
    text += "Removed by the world:           " + std::to_string(despawned.size()) + " (" +
            Joined(despawned) + ")\n";
    text += "Posts sent:                     " + std::to_string(posts) + "\n";
    if (chatListening)
        text += "Chat stand-in:                  " + std::to_string(chatAccepted) + " accepted, " +
                std::to_string(chatTooLong) + " refused as too long, " +
                std::to_string(chatRateLimited) + " refused by the rate limit\n";
    text += "Replies:                        " + std::to_string(consoleReplies) + " console, " +
            std::to_string(rconReplies) + " RCON\n";
    return text + replies;
}

}  // namespace standin

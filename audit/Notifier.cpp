#include "audit/Notifier.h"

#include <nlohmann/json.hpp>

#include "audit/Messages.h"
#include "host/Requests.h"
#include "plugin/Config.h"
#include "plugin/Logger.h"

std::string WebhookBody(const std::string& message) {
    nlohmann::json body;
    body["content"] = message;
    return body.dump();
}

void PostWebhookBody(const std::string& body) {
    const std::string url = ReadConfigKey(ConfigKeys::LevelWarningWebhook);
    API::Requests::Get().CreatePostRequest(url, &IgnoreResponse, body, "application/json", {});
}

void PostToWebhook(const std::string& message) { PostWebhookBody(WebhookBody(message)); }

void IgnoreResponse(bool, std::string, std::unordered_map<std::string, std::string>) {}

void LogDestroyedDino(const std::string& name, int32_t level, int32_t team,
                      const std::string& location, const std::string& members) {
    PluginLogger()->warn(Messages::OverLevelLog, name, level, team, location, members);
}

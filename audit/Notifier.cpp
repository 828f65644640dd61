#include "audit/Notifier.h"

#include <nlohmann/json.hpp>

#include "audit/Messages.h"
#include "host/Game.h"
#include "host/Requests.h"
#include "plugin/Config.h"
#include "plugin/Logger.h"

std::string WebhookBody(const std::string& message) {
    nlohmann::json body;
    body["content"] = message;
    return body.dump();
}

std::string WebhookUrl() { return ReadConfigKey(ConfigKeys::LevelWarningWebhook); }

void SendWebhookPost(const std::string& url, const std::string& body) {
    API::Requests::Get().CreatePostRequest(url, &IgnoreResponse, body, "application/json", {});
}

void PostWebhookBody(const std::string& body) { SendWebhookPost(WebhookUrl(), body); }

void PostToWebhook(const std::string& message) { PostWebhookBody(WebhookBody(message)); }

void DestroyThenPost(APrimalDinoCharacter* dino, const std::string& message) {
    const std::string body = WebhookBody(message);
    Game::Destroy(dino);
    PostWebhookBody(body);
}

void IgnoreResponse(bool, std::string, std::unordered_map<std::string, std::string>) {}

void LogDestroyedDino(const std::string& name, int32_t level, int32_t team,
                      const std::string& location, const std::string& members) {
    PluginLogger()->warn(Messages::OverLevelLog, name, level, team, location, members);
}

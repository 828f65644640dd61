#include "audit/Notifier.h"

#include <nlohmann/json.hpp>

#include "audit/MessageParts.h"
#include "plugin/Config.h"

std::string WebhookBody(const std::string& message) {
    nlohmann::json body;
    body["content"] = message;
    return body.dump();
}

std::vector<std::string> ReportBodies(const std::string& message) {
    std::string whole = WebhookBody(message);  // fails here, as a single post would
    if (CharacterCount(message) <= MaxPostCharacters) return {std::move(whole)};
    std::vector<std::string> bodies;
    for (const std::string& part : SplitMessage(message)) bodies.push_back(WebhookBody(part));
    return bodies;
}

std::string WebhookUrl() { return ReadConfigKey(ConfigKeys::LevelWarningWebhook); }

void PostToWebhook(AuditEffects& effects, AuditRule rule, const std::string& message) {
    std::vector<std::string> bodies = ReportBodies(message);
    effects.Post({rule, WebhookUrl(), message, std::move(bodies)});
}

void DestroyThenPost(AuditEffects& effects, APrimalDinoCharacter* dino, AuditRule rule,
                     const std::string& message) {
    std::vector<std::string> bodies = ReportBodies(message);
    effects.Destroy(dino, rule);
    effects.Post({rule, WebhookUrl(), message, std::move(bodies)});
}

#include "audit/Notifier.h"

#include <nlohmann/json.hpp>

#include "audit/MessageParts.h"

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

Report MakeReport(const AuditCheck& check, AuditRule rule, const std::string& message) {
    std::vector<std::string> bodies = ReportBodies(message);
    return {rule, check.config.levelWarningWebhook.Read(), message, std::move(bodies)};
}

void PostToWebhook(AuditCheck& check, AuditRule rule, const std::string& message) {
    check.effects.Post(MakeReport(check, rule, message));
}

void DestroyThenPost(AuditCheck& check, AuditRule rule, const std::string& message,
                     const Comparison& compared) {
    std::vector<std::string> bodies = ReportBodies(message);
    const PendingRecord record(check, rule, compared, message);
    Game::DestroyFunction* destroy = Game::FindDestroy();
    check.effects.Destroy(check.dino, rule, destroy);
    record.Hand(check.effects);
    check.effects.Post({rule, check.config.levelWarningWebhook.Read(), message, std::move(bodies)});
}

#include "audit/Notifier.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string_view>

#include "audit/Destruction.h"
#include "audit/MessageParts.h"
#include "base/ConfigSnapshot.h"

namespace {

// Printable ASCII that JSON leaves as it is.
bool IsPlainJsonByte(char byte) {
    return byte >= 0x20 && byte <= 0x7E && byte != '"' && byte != '\\';
}

}  // namespace

// Most messages are printable ASCII and line feeds, which the library's dump writes as they are
// and as \n; they are written here directly, since the library's escaping costs tens of
// instructions a character. Any other message goes through the library.
std::string WebhookBody(const std::string& message) {
    constexpr std::string_view Open = "{\"content\":\"", Close = "\"}";
    if (std::all_of(message.begin(), message.end(),
                    [](char byte) { return byte == '\n' || IsPlainJsonByte(byte); })) {
        std::string body(Open);
        body.reserve(Open.size() + message.size() + Close.size() + 32);
        std::string_view rest = message;
        for (size_t feed; (feed = rest.find('\n')) != std::string_view::npos;
             rest.remove_prefix(feed + 1))
            body.append(rest.substr(0, feed)).append("\\n");
        body.append(rest);
        body.append(Close);
        return body;
    }
    nlohmann::json body;
    body["content"] = message;
    return body.dump();
}

std::vector<std::string> ReportBodies(const std::string& message) {
    std::string whole = WebhookBody(message);  // fails here, as a single post would
    // A character takes at least one byte, so a short message needs no count.
    if (message.size() <= MaxPostCharacters || CharacterCount(message) <= MaxPostCharacters)
        return {std::move(whole)};
    std::vector<std::string> bodies;
    for (const std::string& part : SplitMessage(message)) bodies.push_back(WebhookBody(part));
    return bodies;
}

Report MakeReport(const AuditCheck& check, AuditRule rule, const std::string& message) {
    return MakeReport(check, rule, message, ReportBodies(message));
}

// The message named the creature already, so its name is known and asks nothing of the game.
Report MakeReport(const AuditCheck& check, AuditRule rule, const std::string& message,
                  std::vector<std::string> bodies) {
    return {rule,
            check.config.LevelWarningWebhook.Read(),
            message,
            std::move(bodies),
            check.facts.Creature().name,
            check.facts.Level()};
}

void PostToWebhook(AuditCheck& check, AuditRule rule, const std::string& message) {
    check.effects.Post(MakeReport(check, rule, message));
}

void DestroyThenPost(AuditCheck& check, AuditRule rule, const std::string& message,
                     const Comparison& compared) {
    std::vector<std::string> bodies = ReportBodies(message);
    Destruction destruction(check, rule, compared, message);
    if (!destruction.Recorded() || !destruction.Carry()) return;
    destruction.LogDestroyed();
    check.effects.Post(MakeReport(check, rule, message, std::move(bodies)));
}

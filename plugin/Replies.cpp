#include "plugin/Replies.h"

#include <string_view>

#include "base/Logger.h"
#include "base/PluginName.h"
#include "host/AsaApi.h"
#include "host/Game.h"
#include "host/ModulePath.h"

void SendConsoleReply(APlayerController* player, const std::string& text,
                      const FLinearColor& color) {
    const auto messenger = AsaApi::GetApiUtils().MessengerFor(OwnModulePath());
    if (player != nullptr)
        messenger->SendColoredMessage(player, color.R, color.G, color.B, color.A,
                                      FString(text.c_str()));
}

void SendRconReply(RCONClientConnection* connection, const RCONPacket* packet,
                   const std::string& text) {
    FString reply(text.c_str());
    Game::SendRconMessage(connection, packet->Id, reply);
}

void LogFailedAnswer(const char* command, const char* reason) {
    if (PluginLogger()) PluginLogger()->critical("Failed to answer {}! \n {}", command, reason);
}

void LogFailure(const char* what, const char* reason) {
    if (PluginLogger()) PluginLogger()->critical("Failed to {}! \n {}", what, reason);
}

std::string FailureText(const char* what) { return PluginName + ": Failed to " + what; }

const FLinearColor SucceededColor{0, 1, 0, 1};
const FLinearColor FailedColor{1, 0, 0, 1};

std::string Clipped(std::string text, size_t longest) {
    if (text.size() > longest) text = text.substr(0, longest - 3) + "...";
    return text;
}

std::string PathWithin(const std::string& path, size_t longest) {
    if (path.size() <= longest) return path;
    constexpr std::string_view Elided = "\xE2\x80\xA6/";  // "…/"
    // Whole folder names only, as many of the last as fit; the file's name always.
    size_t start = path.find_last_of("/\\");
    if (start == std::string::npos) return path;
    for (size_t earlier = start; earlier > 0;) {
        earlier = path.find_last_of("/\\", earlier - 1);
        if (earlier == std::string::npos || path.size() - earlier - 1 + Elided.size() > longest)
            break;
        start = earlier;
    }
    return std::string(Elided) + path.substr(start + 1);
}

std::string CommandArgument(const FString* command) {
    if (command == nullptr) return {};
    const std::string text = AsaApi::Tools::Utf8Encode(command->View());
    const auto name = text.find_first_not_of(" \t");
    if (name == std::string::npos) return {};
    const auto afterName = text.find_first_of(" \t", name);
    if (afterName == std::string::npos) return {};
    const auto start = text.find_first_not_of(" \t", afterName);
    if (start == std::string::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t\r\n") - start + 1);
}

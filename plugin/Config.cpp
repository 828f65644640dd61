#include "plugin/Config.h"

#include <fmt/format.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "host/AsaApi.h"
#include "host/Game.h"
#include "host/ModulePath.h"
#include "plugin/Logger.h"
#include "plugin/Plugin.h"

nlohmann::json Config;

namespace {

const FLinearColor SuccessColor{0, 1, 0, 1};
const FLinearColor FailureColor{1, 0, 0, 1};

constexpr const char* ReloadedText = ": Reloaded config";
constexpr const char* FailedText = ": Failed to reload config";

void LogReloadFailure(const char* reason) {
    PluginLogger()->critical("Failed to reload config! \n {}", reason);
}

void SendConsoleReply(APlayerController* player, const char* outcome, const FLinearColor& color) {
    const auto messenger = AsaApi::GetApiUtils().MessengerFor(OwnModulePath());
    if (player != nullptr)
        messenger->SendColoredMessage(player, color.R, color.G, color.B, color.A,
                                      FString((PluginName + outcome).c_str()));
}

void SendRconReply(RCONClientConnection* connection, const RCONPacket* packet,
                   const char* outcome) {
    FString text((PluginName + outcome).c_str());
    Game::SendRconMessage(connection, packet->Id, text);
}

// The whole of a reload is the caught region: a failure while sending the success reply counts as
// a failed reload. `reply` answers true for reloaded, false for failed. The handler is called by
// the host, so nothing may leave it, not even a failure of the failure reply.
template <typename Reply>
void Reload(Reply reply) {
    try {
        try {
            ReadConfig();
            reply(true);
            return;
        } catch (const std::exception& error) {
            LogReloadFailure(error.what());
        } catch (...) {
            LogReloadFailure("unknown error");
        }
        reply(false);
    } catch (const std::exception& error) {
        PluginLogger()->critical("Failed to reply to a reload! \n {}", error.what());
    } catch (...) {
        PluginLogger()->critical("Failed to reply to a reload! \n unknown error");
    }
}

}  // namespace

void ReadConfig() {
    const std::string path =
        AsaApi::Tools::GetCurrentDir() + fmt::format("/ArkApi/Plugins/{}/config.json", PluginName);
    std::ifstream file(path);
    if (!file.is_open()) throw std::runtime_error("Can't open config.json");
    nlohmann::json document;
    file >> document;
    Config = std::move(document);
}

void ReloadConsoleCommand(APlayerController* player, FString*, bool) {
    Reload([player](bool reloaded) {
        SendConsoleReply(player, reloaded ? ReloadedText : FailedText,
                         reloaded ? SuccessColor : FailureColor);
    });
}

void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    Reload([connection, packet](bool reloaded) {
        SendRconReply(connection, packet, reloaded ? ReloadedText : FailedText);
    });
}

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

void LogReloadFailure(const std::exception& error) {
    PluginLogger()->critical("Failed to reload config! \n {}", error.what());
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

// The whole handler is the caught region: a failure while replying counts as a failed reload.
void ReloadConsoleCommand(APlayerController* player, FString*, bool) {
    try {
        ReadConfig();
        SendConsoleReply(player, ReloadedText, SuccessColor);
    } catch (const std::exception& error) {
        LogReloadFailure(error);
        SendConsoleReply(player, FailedText, FailureColor);
    }
}

void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    try {
        ReadConfig();
        SendRconReply(connection, packet, ReloadedText);
    } catch (const std::exception& error) {
        LogReloadFailure(error);
        SendRconReply(connection, packet, FailedText);
    }
}

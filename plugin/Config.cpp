#include "plugin/Config.h"

#include <fmt/format.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "host/AsaApi.h"
#include "plugin/Logger.h"
#include "plugin/Plugin.h"
#include "plugin/Replies.h"

nlohmann::json Config;

namespace {

ConfigSnapshot& SnapshotInForce() {
    static ConfigSnapshot snapshot{nlohmann::json()};
    return snapshot;
}

ConfigHistory& History() {
    static ConfigHistory history;
    return history;
}

const FLinearColor SuccessColor{0, 1, 0, 1};
const FLinearColor FailureColor{1, 0, 0, 1};

constexpr const char* ReloadedText = ": Reloaded config";
constexpr const char* FailedText = ": Failed to reload config";

void LogReloadFailure(const char* reason) {
    History().lastReloadFailure = reason;
    PluginLogger()->critical("Failed to reload config! \n {}", reason);
}

// The whole of a reload is the caught region: a failure while sending the success reply counts as
// a failed reload. `reply` answers true for reloaded, false for failed. The handler is called by
// the host, so nothing may leave it, not even a failure of the failure reply.
template <typename Reply>
void Reload(Reply reply) {
    try {
        try {
            ReadConfig();
            History().reloaded = true;
            History().lastReloadFailure.reset();
            reply(true);
            return;
        } catch (const std::exception& error) {
            LogReloadFailure(error.what());
        } catch (...) {
            LogReloadFailure("unknown error");
        }
        History().reloaded = true;
        reply(false);
    } catch (const std::exception& error) {
        PluginLogger()->critical("Failed to reply to a reload! \n {}", error.what());
    } catch (...) {
        PluginLogger()->critical("Failed to reply to a reload! \n unknown error");
    }
}

}  // namespace

const ConfigSnapshot& CurrentConfig() { return SnapshotInForce(); }

// The settings are made before anything is replaced, so a reload is all or nothing.
void SetConfig(nlohmann::json document) {
    ConfigSnapshot snapshot(document);
    Config = std::move(document);
    SnapshotInForce() = std::move(snapshot);
    History().readAt = std::chrono::system_clock::now();
}

std::filesystem::path ConfigFilePath() {
    return AsaApi::Tools::GetCurrentDir() +
           fmt::format("/ArkApi/Plugins/{}/config.json", PluginName);
}

nlohmann::json ReadConfigDocument(const std::filesystem::path& path) {
    std::ifstream file(path);
    if (!file.is_open()) throw std::runtime_error("Can't open " + path.filename().string());
    nlohmann::json document;
    file >> document;
    return document;
}

void ReadConfig() { SetConfig(ReadConfigDocument(ConfigFilePath())); }

const ConfigHistory& ConfigReadHistory() { return History(); }

void ReloadConsoleCommand(APlayerController* player, FString*, bool) {
    Reload([player](bool reloaded) {
        SendConsoleReply(player, PluginName + (reloaded ? ReloadedText : FailedText),
                         reloaded ? SuccessColor : FailureColor);
    });
}

void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    Reload([connection, packet](bool reloaded) {
        SendRconReply(connection, packet, PluginName + (reloaded ? ReloadedText : FailedText));
    });
}

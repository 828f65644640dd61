// The host's console, RCON and update-callback registries, and their dispatch.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "host/AsaApi.h"

namespace standin {

class Commands : public AsaApi::ICommands {
public:
    void RegisterConsoleCommand(const FString& name,
                                const AsaApi::ConsoleCommandCallback& callback) override;
    void RegisterRconCommand(const FString& name,
                             const AsaApi::RconCommandCallback& callback) override;
    void RegisterUpdateCallback(const FString& id, const AsaApi::UpdateCallback& callback) override;
    bool UnregisterConsoleCommand(const FString& name) override;
    bool UnregisterRconCommand(const FString& name) override;
    bool UnregisterUpdateCallback(const FString& id) override;

    // Runs the command named by the line's first word; false when no such command exists.
    bool ExecuteConsole(const std::string& line, APlayerController* player);
    bool ExecuteRcon(const std::string& line, RCONClientConnection* connection, int32_t requestId);
    // One game-loop tick: every update callback, in registration order.
    void RunUpdateCallbacks(float deltaSeconds);

    bool HasConsoleCommand(const std::string& name) const;
    bool HasRconCommand(const std::string& name) const;
    bool HasUpdateCallback(const std::string& id) const;
    size_t UpdateCallbackCount() const { return updateCallbacks.size(); }
    // Everything registered now: "console NAME", "rcon NAME" and "update ID", in that order.
    std::vector<std::string> Registered() const;
    void Clear();
    // Forgets every registration without destroying its callback: after the host kept one that
    // the plugin could not remove, its code went with the unloaded library.
    void Abandon();

    // When set, RegisterUpdateCallback throws, as a host that refuses the registration may.
    bool refuseUpdateCallbacks = false;

private:
    template <typename Callback>
    using Named = std::vector<std::pair<std::string, Callback>>;

    Named<AsaApi::ConsoleCommandCallback> consoleCommands;
    Named<AsaApi::RconCommandCallback> rconCommands;
    Named<AsaApi::UpdateCallback> updateCallbacks;
};

}  // namespace standin

// The host's interfaces and free functions, in the host's slot order.
#pragma once

#include <spdlog/common.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/EngineTypes.h"

namespace AsaApi {

class IHooks {
public:
    virtual ~IHooks() = default;
    virtual bool RemoveHook(const std::string& functionName, void* detour) = 0;
    // Routes calls of the named game function to `detour`; `original` receives the entry
    // through which the replaced function is still reachable.
    virtual bool InstallHook(const std::string& functionName, void* detour, void** original) = 0;
};

using ConsoleCommandCallback = std::function<void(APlayerController*, FString*, bool)>;
using RconCommandCallback = std::function<void(RCONClientConnection*, RCONPacket*, UWorld*)>;
using UpdateCallback = std::function<void(float)>;

class ICommands {
public:
    virtual ~ICommands() = default;
    virtual void RegisterConsoleCommand(const FString& name,
                                        const ConsoleCommandCallback& callback) = 0;
    virtual void RegisterRconCommand(const FString& name, const RconCommandCallback& callback) = 0;
    virtual void RegisterUpdateCallback(const FString& id, const UpdateCallback& callback) = 0;
    virtual bool UnregisterConsoleCommand(const FString& name) = 0;
    virtual bool UnregisterRconCommand(const FString& name) = 0;
    virtual bool UnregisterUpdateCallback(const FString& id) = 0;
};

class IMessenger {
public:
    virtual ~IMessenger() = default;
    virtual void SendColoredMessage(APlayerController* player, float red, float green, float blue,
                                    float alpha, const FString& text) = 0;
};

class IApiUtils {
public:
    virtual ~IApiUtils() = default;
    virtual UWorld* CurrentWorld() const = 0;
    virtual AShooterGameMode* CurrentGameMode() const = 0;
    virtual AShooterPlayerController* FindPlayerByEosId(const FString& eosId) const = 0;
    virtual std::shared_ptr<IMessenger> MessengerFor(const FString& modulePath) const = 0;
};

IHooks& GetHooks();
ICommands& GetCommands();
IApiUtils& GetApiUtils();

namespace Tools {
std::string GetCurrentDir();
std::string Utf8Encode(EngineTextView wide);
}  // namespace Tools

}  // namespace AsaApi

// The host's log sinks; a logger that copies this list shares each sink with the host.
const std::vector<spdlog::sink_ptr>& GetLogSinks();

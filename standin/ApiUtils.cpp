// IApiUtils, the per-plugin messenger and the host's free functions.
#include <cstdio>

#include "host/AsaApi.h"
#include "standin/Host.h"
#include "standin/Terminal.h"
#include "standin/Text.h"

namespace standin {
namespace {

class Messenger : public AsaApi::IMessenger {
public:
    explicit Messenger(std::string path) : modulePath(std::move(path)) {}

    void SendColoredMessage(APlayerController* player, float red, float green, float blue,
                            float alpha, const FString& text) override {
        STANDIN_HOST_OPERATION("IMessenger::SendColoredMessage");
        Host& host = Host::Get();
        const std::string utf8 = ToUtf8(text);
        host.events.Record({{"type", "reply"},
                            {"channel", "console"},
                            {"text", utf8},
                            {"color", {red, green, blue, alpha}},
                            {"player", player != nullptr ? static_cast<AActor*>(player)->Key : ""},
                            {"module", modulePath}});
        if (host.printReplies) {
            const int code = green > red ? 32 : red > 0 ? 31 : 0;
            const std::string line = "\x1b[" + std::to_string(code) + "m" + utf8 + "\x1b[0m\n";
            std::fputs(ForOutput(line).c_str(), stdout);
            std::fflush(stdout);
        }
    }

private:
    std::string modulePath;
};

class ApiUtils : public AsaApi::IApiUtils {
public:
    UWorld* CurrentWorld() const override {
        if (STANDIN_NULLABLE_HOST_OPERATION("IApiUtils::CurrentWorld")) return nullptr;
        if (Host::Get().currentWorldMissing) return nullptr;
        return Host::Get().world ? Host::Get().world->EngineWorld() : nullptr;
    }
    AShooterGameMode* CurrentGameMode() const override {
        if (STANDIN_NULLABLE_HOST_OPERATION("IApiUtils::CurrentGameMode")) return nullptr;
        return Host::Get().world ? Host::Get().world->GameMode() : nullptr;
    }
    AShooterPlayerController* FindPlayerByEosId(const FString& eosId) const override {
        if (STANDIN_NULLABLE_HOST_OPERATION("IApiUtils::FindPlayerByEosId")) return nullptr;
        if (!Host::Get().world || eosId.IsEmpty()) return nullptr;
        for (AShooterPlayerController* player : Host::Get().world->OnlinePlayers())
            if (player->EosId == eosId) return player;
        return nullptr;
    }
    std::shared_ptr<AsaApi::IMessenger> MessengerFor(const FString& modulePath) const override {
        STANDIN_HOST_OPERATION("IApiUtils::MessengerFor");
        Host::Get().ThrowIfFaulty("MessengerFor");
        return std::make_shared<Messenger>(ToUtf8(modulePath));
    }
};

}  // namespace
}  // namespace standin

namespace AsaApi {

IHooks& GetHooks() {
    STANDIN_HOST_OPERATION("AsaApi::GetHooks");
    return standin::Host::Get().hooks;
}
ICommands& GetCommands() {
    STANDIN_HOST_OPERATION("AsaApi::GetCommands");
    return standin::Host::Get().commands;
}
IApiUtils& GetApiUtils() {
    STANDIN_HOST_OPERATION("AsaApi::GetApiUtils");
    static standin::ApiUtils utils;
    return utils;
}

std::string Tools::GetCurrentDir() {
    STANDIN_HOST_OPERATION("AsaApi::Tools::GetCurrentDir");
    standin::Host::Get().ThrowIfFaulty("GetCurrentDir");
    return standin::Host::Get().currentDir;
}

}  // namespace AsaApi

const std::vector<spdlog::sink_ptr>& GetLogSinks() {
    STANDIN_HOST_OPERATION("GetLogSinks");
    return standin::Host::Get().logSinks;
}

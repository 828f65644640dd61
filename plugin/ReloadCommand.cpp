#include "plugin/ReloadCommand.h"

#include <exception>
#include <string>

#include "base/Config.h"
#include "base/Logger.h"
#include "base/PluginName.h"
#include "plugin/Plugin.h"
#include "plugin/Replies.h"

namespace {

const FLinearColor SuccessColor{0, 1, 0, 1};
const FLinearColor FailureColor{1, 0, 0, 1};

constexpr const char* ReloadedText = ": Reloaded config";
constexpr const char* FailedText = ": Failed to reload config";

// A file with a key of the wrong type is not put in force: it would stop every check. A load the
// config stopped is finished by the first good reload, before the reply.
// The whole of a reload is the caught region: a failure while sending the success reply counts as
// a failed reload. `reply` answers true for reloaded, false for failed. The handler is called by
// the host, so nothing may leave it, not even a failure of the failure reply. The reload's own
// outcome is what the status tells: a file that was read is in force, whatever the reply did.
template <typename Reply>
void Reload(Reply reply) {
    bool read = false;
    const auto failed = [&read](const char* reason) {
        if (!read) NoteReload(reason);
        PluginLogger()->critical("Failed to reload config! \n {}", reason);
    };
    try {
        try {
            ReadCheckedConfig();
            read = true;
            NoteReload(std::nullopt);
            FinishWaitingLoad();
            reply(true);
            return;
        } catch (const std::exception& error) {
            failed(error.what());
        } catch (...) {
            failed("unknown error");
        }
        reply(false);
    } catch (const std::exception& error) {
        PluginLogger()->critical("Failed to reply to a reload! \n {}", error.what());
    } catch (...) {
        PluginLogger()->critical("Failed to reply to a reload! \n unknown error");
    }
}

}  // namespace

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

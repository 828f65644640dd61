#include "plugin/ReleaseCommand.h"

#include "audit/AuditEffects.h"
#include "audit/CheckDino.h"
#include "audit/DestroyBrake.h"
#include "audit/Outbox.h"
#include "base/Format.h"
#include "base/PluginName.h"
#include "plugin/Replies.h"

namespace {

constexpr const char* ReleaseFailure = "release the destroy brake";

// The released creatures are let through only by this release.
struct ReleasedUntilEnd {
    ReleasedUntilEnd() = default;
    ReleasedUntilEnd(const ReleasedUntilEnd&) = delete;
    ReleasedUntilEnd& operator=(const ReleasedUntilEnd&) = delete;
    ~ReleasedUntilEnd() { ForgetReleasedCreatures(); }
};

}  // namespace

std::string ReleaseText() {
    if (!TheBrakeState().holding)
        return fmt::format("{}: The destroy brake holds nothing", PluginName);
    const OutboxWrittenAtEnd spooled;
    const ReleasedUntilEnd released;
    const std::vector<FWeakObjectPtr> held = ReleaseBrake();
    const uint64_t destroyedBefore = LiveEffectCounts().destroyed;
    for (const FWeakObjectPtr& creature : held) {
        TWeakObjectPtr<APrimalDinoCharacter> weak;
        static_cast<FWeakObjectPtr&>(weak) = creature;
        CheckDino(weak);
    }
    return fmt::format(
        "{}: Released the destroy brake: checked {} held creature(s) again, "
        "destroyed {}",
        PluginName, held.size(), LiveEffectCounts().destroyed - destroyedBefore);
}

void ReleaseConsoleCommand(APlayerController* player, FString*, bool) {
    RunAndAnswer("tmwd.release", ReleaseFailure, &ReleaseText,
                 [player](const std::string& text, bool released) {
                     SendConsoleReply(player, text, released ? SucceededColor : FailedColor);
                 });
}

void ReleaseRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    RunAndAnswer("tmwd.release", ReleaseFailure, &ReleaseText,
                 [connection, packet](const std::string& text, bool) {
                     SendRconReply(connection, packet, text);
                 });
}

#include "plugin/RecheckCommand.h"

#include <stdexcept>

#include "audit/AuditEffects.h"
#include "audit/CheckDino.h"
#include "audit/DestroyBrake.h"
#include "audit/Outbox.h"
#include "audit/Preview.h"
#include "audit/WorldCreatures.h"
#include "base/Config.h"
#include "base/Format.h"
#include "base/PluginName.h"
#include "plugin/Replies.h"

namespace {

constexpr const char* RecheckFailure = "recheck the world";

}  // namespace

std::string RecheckText() {
    const OutboxWrittenAtEnd spooled;
    const ConfigSnapshot& config = CurrentConfig();
    const WorldPassUnderBrake underBrake(
        BrakeOn(config) ? PreviewWorld(config).tallies : RuleTallies{}, config, "tmwd.recheck");
    const EffectCounts before = LiveEffectCounts();
    const size_t heldBefore = TheBrakeState().held;
    uint64_t checked = 0;
    try {
        ForEachCreatureInWorld([&checked](TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
            ForgetFailedConfigKey();
            CheckDino(weakDino);
            ++checked;
        });
    } catch (const std::exception& error) {
        throw std::runtime_error(fmt::format(
            "stopped after {} creature(s): {}", checked,
            WhereCheckStopped(LastFailedConfigKey(), LastConfigFilePath(), error.what())));
    }
    const EffectCounts after = LiveEffectCounts();
    const size_t held = TheBrakeState().held - heldBefore;
    return fmt::format("{}: Rechecked {} creature(s): destroyed {}, reported {}{}", PluginName,
                       checked, after.destroyed - before.destroyed,
                       after.reported - before.reported,
                       held > 0 ? fmt::format(", the destroy brake holds {}", held) : "");
}

void RecheckConsoleCommand(APlayerController* player, FString*, bool) {
    RunAndAnswer("tmwd.recheck", RecheckFailure, &RecheckText,
                 [player](const std::string& text, bool rechecked) {
                     SendConsoleReply(player, text, rechecked ? SucceededColor : FailedColor);
                 });
}

void RecheckRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    RunAndAnswer("tmwd.recheck", RecheckFailure, &RecheckText,
                 [connection, packet](const std::string& text, bool) {
                     SendRconReply(connection, packet, text);
                 });
}

#include "plugin/StatusCommand.h"

#include <fmt/chrono.h>

#include <ctime>
#include <string_view>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/DestroyBrake.h"
#include "audit/DestructionJournal.h"
#include "audit/HeldCreatures.h"
#include "audit/Outbox.h"
#include "audit/RuleIdentity.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "base/PluginName.h"
#include "base/PluginVersion.h"
#include "base/ShownWebhook.h"
#include "plugin/CheckCounts.h"
#include "plugin/LoadProgress.h"
#include "plugin/Replies.h"
#include "plugin/Timer.h"

namespace {

constexpr size_t LongestLine = 160;
constexpr size_t LongestLoadLine = 400;  // the failure names the file and keeps the error whole
constexpr size_t LongestReply = 999;
const FLinearColor StatusColor{1, 1, 1, 1};

std::string WhitelistLine(const ConfigSnapshot& config) {
    if (const auto error = config.WhitelistedDinos.Error())
        return "whitelist: " + StopsChecks(*error);
    const size_t names = config.WhitelistedDinos.Read().size();
    return names == 0 ? "whitelist: none" : fmt::format("whitelist: {} name(s)", names);
}

std::string WebhookLine(const ConfigSnapshot& config) {
    if (const auto error = config.LevelWarningWebhook.Error())
        return "reports: stop at every report: " + *error;
    const std::string& url = config.LevelWarningWebhook.Read();
    return url.empty() ? "reports: no URL, nothing reaches the chat"
                       : "reports to " + ShownWebhook(url);
}

std::string ReadLine() {
    const ConfigHistory& history = ConfigReadHistory();
    const std::string readAt =
        fmt::format("{:%Y-%m-%d %H:%M:%S %z}",
                    fmt::localtime(std::chrono::system_clock::to_time_t(history.readAt)));
    if (!history.reloaded) return "config read " + readAt + "; no reload since load";
    if (!history.lastReloadFailure) return "config read " + readAt + "; last reload: reloaded";
    return "config read " + readAt +
           "; last reload failed, this config stays: " + *history.lastReloadFailure;
}

std::string QueueLine() {
    Tools::Timer* timer = ExistingTimer();
    const size_t waiting = timer != nullptr ? timer->WaitingCount() : 0;
    const std::string failure = timer != nullptr ? timer->HeadFailure() : std::string();
    if (failure.empty()) return fmt::format("queue: {} waiting", waiting);
    return fmt::format("queue: {} waiting, stalled at the first: {}", waiting, failure);
}

std::string JournalLine(const ConfigSnapshot& config) {
    if (!JournalEnabled(config)) return "journal: off";
    const DestructionJournal::Counts counts = TheJournal().Statistics();
    const std::string start = fmt::format("journal: {} written, {} not done, {} held, ",
                                          counts.written, counts.notDone, HeldCreatureCount());
    return start + PathWithin(JournalFilePath().string(), LongestLine - start.size());
}

// What the first waiting post waits for, and a spool given up: said only when they are so.
std::vector<std::string> OutboxLines() {
    const Outbox& outbox = TheOutbox();
    std::vector<std::string> lines;
    if (const std::string wait = outbox.HeadWait(); !wait.empty())
        lines.push_back("first post: " + wait);
    if (!outbox.SpoolTrouble().empty())
        lines.push_back("outbox spool given up, posts wait in memory only: " +
                        outbox.SpoolTrouble());
    return lines;
}

// A load that stopped is said first: the rest of the status is what that left.
std::vector<std::string> LoadLines() {
    const LoadProgress& load = TheLoadProgress();
    if (load.failure.empty()) return {};
    return {Clipped(fmt::format("load stopped at {}: {}", LoadStepName(load.step), load.failure),
                    LongestLoadLine),
            load.waitsForConfig ? "the load waits for a good config: " + load.advice
                                : "tmwd.reload is not registered: " + load.advice};
}

std::vector<std::string> RuleLines() {
    if (NoConfigInForce()) return {};
    const ConfigSnapshot& config = CurrentConfig();
    std::vector<std::string> lines = {ReadLine(), WhitelistLine(config)};
    for (const RuleIdentity& identity : AllRules())
        lines.push_back(fmt::format("{}: {}", identity.name, identity.status(config)));
    lines.push_back(WebhookLine(config));
    return lines;
}

}  // namespace

std::string StatusText() {
    const CheckCounts& checks = TheCheckCounts();
    const EffectCounts effects = LiveEffectCounts();
    const Outbox::Counts reports = TheOutbox().Statistics();
    const std::string title = fmt::format("{} {}, config ", PluginName, PluginVersion);
    std::string text = Clipped(
        title + PathWithin(ConfigFilePath().string(), LongestLine - title.size()), LongestLine);
    for (const std::string& line : LoadLines()) text += "\n" + line;
    if (NoConfigInForce()) text += "\nno config in force: no creature is checked";
    // Counts and states first, the rules after them: the reply's limit cuts from the end.
    std::vector<std::string> lines = {
        fmt::format("checked {} at load, {} after BeginPlay; destroyed {}, reported {}",
                    checks.atLoad, checks.afterBeginPlay, effects.destroyed, effects.reported),
        QueueLine(),
        fmt::format("posts: {} sent, {} waiting, {} dropped", reports.sent, reports.waiting,
                    reports.dropped)};
    for (std::string& line : OutboxLines()) lines.push_back(std::move(line));
    lines.push_back(JournalLine(CurrentConfig()));
    // Said early, so the reply's limit never cuts whether the brake holds.
    if (!NoConfigInForce()) lines.push_back(BrakeStatus(CurrentConfig()));
    for (std::string& line : RuleLines()) lines.push_back(std::move(line));
    for (const std::string& line : lines) text += "\n" + Clipped(line, LongestLine);
    return Clipped(text, LongestReply);
}

void StatusConsoleCommand(APlayerController* player, FString*, bool) {
    AnswerContained("tmwd.status", &StatusText, [player](const std::string& text) {
        SendConsoleReply(player, text, StatusColor);
    });
}

void StatusRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    AnswerContained("tmwd.status", &StatusText, [connection, packet](const std::string& text) {
        SendRconReply(connection, packet, text);
    });
}

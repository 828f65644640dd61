#include "plugin/StatusCommand.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <ctime>
#include <string_view>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/DestructionJournal.h"
#include "audit/Outbox.h"
#include "base/Config.h"
#include "base/PluginName.h"
#include "base/PluginVersion.h"
#include "host/GameFacts.h"
#include "plugin/CheckCounts.h"
#include "plugin/LoadProgress.h"
#include "plugin/Replies.h"
#include "plugin/Timer.h"

namespace {

constexpr size_t LongestLine = 160;
constexpr size_t LongestLoadLine = 400;  // the failure names the file and keeps the error whole
constexpr size_t LongestReply = 999;
const FLinearColor StatusColor{1, 1, 1, 1};

std::string Stops(const std::string& error) { return "stops checks: " + error; }

// "over-level: off": a rule's line, under the rule's name.
std::string Line(AuditRule rule, const std::string& state) {
    return fmt::format("{}: {}", RuleName(rule), state);
}

std::string WhitelistLine(const ConfigSnapshot& config) {
    if (const auto error = config.whitelistedDinos.Error()) return "whitelist: " + Stops(*error);
    const size_t names = config.whitelistedDinos.Read().size();
    return names == 0 ? "whitelist: none" : fmt::format("whitelist: {} name(s)", names);
}

std::string OverLevelLine(const ConfigSnapshot& config) {
    if (const auto error = config.destroyDinosOverLevel.Error())
        return Line(AuditRule::OverLevel, Stops(*error));
    const int32_t level = config.destroyDinosOverLevel.Read();
    return Line(AuditRule::OverLevel,
                level == -1 ? "off" : fmt::format("destroy at level >= {}", level));
}

std::string WarningLine(const ConfigSnapshot& config) {
    if (const auto error = config.enableLevelWarning.Error())
        return Line(AuditRule::LevelWarning, Stops(*error));
    if (!config.enableLevelWarning.Read()) return Line(AuditRule::LevelWarning, "off");
    if (const auto error = config.levelWarningThreshold.Error())
        return Line(AuditRule::LevelWarning, "on, " + Stops(*error));
    return Line(AuditRule::LevelWarning,
                fmt::format("report at level >= {}", config.levelWarningThreshold.Read()));
}

// No creature has a negative level, so a negative minimum never acts.
std::string MinimumLine(const ConfigSnapshot& config) {
    if (const auto error = config.minDinoLevel.Error())
        return Line(AuditRule::MinimumLevel, Stops(*error));
    const int32_t level = config.minDinoLevel.Read();
    if (level < 0) return Line(AuditRule::MinimumLevel, "off");
    if (const auto error = config.autoDestroyDinosBelowMinLevel.Error())
        return Line(AuditRule::MinimumLevel,
                    fmt::format("at level <= {}, {}", level, Stops(*error)));
    return Line(
        AuditRule::MinimumLevel,
        fmt::format("{} at level <= {}",
                    config.autoDestroyDinosBelowMinLevel.Read() ? "destroy" : "report", level));
}

std::string IncoherentLine(const ConfigSnapshot& config) {
    if (const auto error = config.destroyIncoherentDinos.Error())
        return Line(AuditRule::Incoherent, Stops(*error));
    return Line(AuditRule::Incoherent, config.destroyIncoherentDinos.Read() ? "destroy" : "report");
}

std::string StatLimitsLine(const ConfigSnapshot& config) {
    if (const auto error = config.destroyDinosOverStatValue.Error())
        return Line(AuditRule::StatLimit, Stops(*error));
    if (!config.destroyDinosOverStatValue.Read()) return Line(AuditRule::StatLimit, "off");
    std::string limits;
    for (const StatLimitsSetting::Limit& entry : config.statValueLimits.Limits()) {
        if (!entry.stat || entry.limit <= 0) continue;
        limits += fmt::format("{}{} >= {}", limits.empty() ? "" : ", ",
                              Game::Stats[*entry.stat].name, entry.limit);
    }
    std::string line =
        Line(AuditRule::StatLimit, limits.empty() ? "on, no limit set" : "destroy at " + limits);
    if (const auto error = config.statValueLimits.Error()) line += ", then " + Stops(*error);
    return line;
}

std::string WebhookLine(const ConfigSnapshot& config) {
    if (const auto error = config.levelWarningWebhook.Error())
        return "reports: stop at every report: " + *error;
    const std::string& url = config.levelWarningWebhook.Read();
    return url.empty() ? "reports: no URL, nothing reaches the chat" : "reports to " + url;
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
    const std::string start =
        fmt::format("journal: {} written, {} not written, ", counts.written, counts.notWritten);
    return start + PathWithin(JournalFilePath().string(), LongestLine - start.size());
}

// A load that stopped is said first: the rest of the status is what that left.
std::vector<std::string> LoadLines() {
    const LoadProgress& load = TheLoadProgress();
    if (load.failure.empty()) return {};
    return {Clipped(fmt::format("load stopped at {}: {}", LoadStepName(load.step), load.failure),
                    LongestLoadLine),
            "tmwd.reload is not registered: " + load.advice};
}

std::vector<std::string> RuleLines() {
    if (NoConfigInForce()) return {};
    const ConfigSnapshot& config = CurrentConfig();
    return {
        ReadLine(),          WhitelistLine(config),  OverLevelLine(config),  WarningLine(config),
        MinimumLine(config), IncoherentLine(config), StatLimitsLine(config), WebhookLine(config)};
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
                    reports.dropped),
        JournalLine(CurrentConfig())};
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

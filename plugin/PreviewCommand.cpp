#include "plugin/PreviewCommand.h"

#include "audit/Preview.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "base/PluginName.h"
#include "plugin/LoadProgress.h"
#include "plugin/Replies.h"

namespace {

constexpr size_t LongestPreviewLine = 300;
constexpr size_t LongestPreviewReply = 3999;
const FLinearColor PreviewColor{1, 1, 1, 1};

// Only a plain file name: the preview reads nothing outside the plugin's folder.
bool IsPlainFileName(const std::string& name) {
    return name.find_first_of("/\\") == std::string::npos && name.find("..") == std::string::npos &&
           name.find('\0') == std::string::npos;
}

// `file` names the configuration's file where a check stopped at one of its keys.
std::string ResultText(const std::string& source, const std::string& file,
                       const ConfigSnapshot& config, const PreviewResult& result) {
    const std::string warning = DestructionWarning(result.tallies, config);
    std::string text = warning.empty() ? "" : Clipped(warning, LongestPreviewLine) + "\n";
    text += fmt::format("{} preview of {}, nothing changed: {} creature(s) checked", PluginName,
                        source, result.checked);
    for (size_t rule = 0; rule < result.tallies.size(); ++rule)
        text += "\n" + TallyText(static_cast<AuditRule>(rule), result.tallies[rule]);
    for (const PreviewedCreature& creature : result.listed)
        text += Clipped(
            fmt::format("\nwould {} {} ({})", creature.destroyed ? "destroy" : "only report",
                        creature.description, RuleName(creature.rule)),
            LongestPreviewLine);
    if (result.actedOn > result.listed.size())
        text += fmt::format("\nand {} more", result.actedOn - result.listed.size());
    if (result.stoppedAt)
        text += Clipped(fmt::format("\nstopped at {}, as a check would: {}", *result.stoppedAt,
                                    WhereCheckStopped(result.failingKey, file, result.failure)),
                        LongestPreviewLine);
    return Clipped(text, LongestPreviewReply);
}

}  // namespace

std::string PreviewText(const std::string& file) {
    if (file.empty() && NoConfigInForce())
        return fmt::format(
            "{}: no config in force, the load stopped reading it; preview a file: tmwd.preview "
            "FILE",
            PluginName);
    if (file.empty())
        return ResultText("the config in force", ConfigFilePath().filename().string(),
                          CurrentConfig(), PreviewWorld(CurrentConfig()));
    if (!IsPlainFileName(file))
        return fmt::format(
            "{}: preview refused: \"{}\" is not a file name in the plugin's folder "
            "(no path separators, no \"..\")",
            PluginName, file);
    const std::filesystem::path path = ConfigFilePath().parent_path() / file;
    nlohmann::json document;
    try {
        document = ReadConfigDocument(path);
    } catch (const std::exception& error) {
        return fmt::format("{}: preview of {} failed: {}", PluginName, file, error.what());
    }
    const ConfigSnapshot config(document);
    return ResultText(file, file, config, PreviewWorld(config));
}

void PreviewConsoleCommand(APlayerController* player, FString* command, bool) {
    AnswerContained(
        "tmwd.preview", [command] { return PreviewText(CommandArgument(command)); },
        [player](const std::string& text) { SendConsoleReply(player, text, PreviewColor); });
}

void PreviewRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld*) {
    AnswerContained(
        "tmwd.preview", [packet] { return PreviewText(CommandArgument(&packet->Body)); },
        [connection, packet](const std::string& text) { SendRconReply(connection, packet, text); });
}

// tamewarden-check: checks a TameWarden config.json and, with --world, shows what the audit would
// do to that world without sending anything.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "checker/ConfigFile.h"
#include "checker/ConfigProblems.h"
#include "checker/DryRun.h"
#include "checker/JournalReport.h"
#include "checker/Report.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* Usage =
    "usage: tamewarden-check CONFIG [--world WORLD] [--json]\n"
    "       tamewarden-check --journal FILE [--owner TEXT] [--since DATE]\n"
    "  CONFIG            the plugin's config.json\n"
    "  --world WORLD     also run the audit on a stand-in world file, sending nothing\n"
    "  --json            print a machine-readable report\n"
    "  --journal FILE    list the destructions in a destroyed.jsonl, oldest first\n"
    "  --owner TEXT      only those of an owner, by name or EOS id (case ignored)\n"
    "  --since DATE      only those from this UTC date on (2026-12-09 or 2026-12-09T18:30)\n"
    "exit status: 0 clean, 1 problems found, 2 file cannot be read or parsed\n";

struct Options {
    std::string config;
    std::optional<std::string> world;
    bool json = false;
};

std::optional<Options> ParseArguments(const std::vector<std::string>& arguments) {
    Options options;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool hasValue = index + 1 < arguments.size();
        if (argument == "--json")
            options.json = true;
        else if (argument == "--world" && hasValue)
            options.world = arguments[++index];
        else if (options.config.empty() && !argument.starts_with("--"))
            options.config = argument;
        else
            return std::nullopt;
    }
    if (options.config.empty()) return std::nullopt;
    return options;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const std::optional<int> status = checker::RunJournalQuery(arguments)) return *status;
    const std::optional<Options> options = ParseArguments(arguments);
    if (!options) {
        std::fputs(Usage, stderr);
        return 2;
    }
    checker::Report report;
    report.configPath = options->config;
    try {
        const checker::ConfigFile config = checker::ReadConfigFile(options->config);
        report.problems = checker::CheckConfig(config);
        if (options->world) {
            report.worldPath = *options->world;
            report.dryRun = checker::RunDry(options->config, *options->world);
        }
    } catch (const std::exception& error) {
        report.unreadable = error.what();
    }
    const std::string output =
        options->json ? checker::ReportJson(report).dump(2) + "\n" : checker::ReportText(report);
    std::fputs(output.c_str(), stdout);
    return checker::ExitStatus(report);
}

// tamewarden-check: checks a TameWarden config.json and, with --world, shows what the audit would
// do to that world without sending anything.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "audit/Preview.h"
#include "base/ConfigSnapshot.h"
#include "base/PluginVersion.h"
#include "checker/ConfigFile.h"
#include "checker/ConfigProblems.h"
#include "checker/DryRun.h"
#include "checker/FileTrouble.h"
#include "checker/JournalReport.h"
#include "checker/Report.h"
#include "checker/WorldProblems.h"
#include "standin/WorldFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* Usage =
    "usage: tamewarden-check CONFIG [--world WORLD] [--json]\n"
    "       tamewarden-check --journal FILE|FOLDER... [--owner TEXT] [--creature TEXT]\n"
    "                        [--since DATE] [--until DATE] [--json]\n"
    "  CONFIG            the plugin's config.json\n"
    "  --world WORLD     also run the audit on a stand-in world file, sending nothing\n"
    "  --json            print a machine-readable report\n"
    "  --journal ...     list the destructions of journals, oldest first (see --journal --help)\n"
    "  --version         print the version\n"
    "  --help            show this text\n"
    "exit status: 0 clean, 1 problems found, 2 file cannot be read or parsed\n"
    "On a live server, ask the plugin itself: tmwd.preview FILE runs the checks on the world it\n"
    "holds now; --world is for stand-in world files.\n";

struct Options {
    std::string config;
    std::optional<std::string> world;
    bool json = false;
    bool help = false;
    bool version = false;
    std::string mistake;  // what is wrong with the arguments, empty when nothing is
};

Options ParseArguments(const std::vector<std::string>& arguments) {
    Options options;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        const bool hasValue = index + 1 < arguments.size();
        if (argument == "--help" || argument == "-h")
            options.help = true;
        else if (argument == "--version")
            options.version = true;
        else if (argument == "--json")
            options.json = true;
        else if (argument == "--world" && hasValue)
            options.world = arguments[++index];
        else if (argument == "--world")
            options.mistake = "--world needs a file";
        else if (argument.starts_with("-"))
            options.mistake = "unknown option " + argument;
        else if (options.config.empty())
            options.config = argument;
        else
            options.mistake = "one config at a time: " + argument;
        if (!options.mistake.empty()) return options;
    }
    if (options.config.empty() && !options.help && !options.version)
        options.mistake = "no config named";
    return options;
}

// The world file is named on its own when it cannot be played, so it is not taken for a fault of
// the config.
void PlayWorld(const std::string& world, const nlohmann::json& document, checker::Report& report) {
    report.worldPath = world;
    if (const std::optional<std::string> trouble = checker::FileTrouble(world)) {
        report.worldUnreadable = *trouble;
        return;
    }
    try {
        report.dryRun = checker::RunDry(report.configPath, world);
        report.dryRun->warning =
            DestructionWarning(report.dryRun->tallies, ConfigSnapshot(document));
    } catch (const standin::WorldFileError& error) {
        report.worldUnreadable = error.what();
        return;
    }
    for (checker::Problem& problem : checker::CheckAgainstWorld(document, *report.dryRun, world))
        report.problems.push_back(std::move(problem));
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (const std::optional<int> status = checker::RunJournalQuery(arguments)) return *status;
    const Options options = ParseArguments(arguments);
    if (!options.mistake.empty()) {
        std::fprintf(stderr, "tamewarden-check: %s\n%s", options.mistake.c_str(), Usage);
        return 2;
    }
    if (options.help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("tamewarden-check %s\n", PluginVersion);
        return 0;
    }
    checker::Report report;
    report.configPath = options.config;
    try {
        const checker::ConfigFile config = checker::ReadConfigFile(options.config);
        report.problems = checker::CheckConfig(config);
        if (options.world)
            PlayWorld(*options.world, config.document, report);
        else
            for (checker::Problem& problem : checker::CheckWithoutWorld(config))
                report.problems.push_back(std::move(problem));
    } catch (const std::exception& error) {
        report.unreadable = error.what();
    }
    checker::SortMostHarmfulFirst(report.problems);
    const std::string output =
        options.json ? checker::ReportJson(report).dump(2) + "\n" : checker::ReportText(report);
    std::fputs(output.c_str(), stdout);
    return checker::ExitStatus(report);
}

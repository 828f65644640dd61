#include "standin/server/Server.h"

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "standin/Host.h"
#include "standin/HttpRequests.h"
#include "standin/PluginInfo.h"
#include "standin/PluginLibrary.h"
#include "standin/RecordingSink.h"
#include "standin/Terminal.h"
#include "standin/WorldFile.h"
#include "standin/server/ChatListener.h"
#include "standin/server/ConsoleInput.h"
#include "standin/server/EventLog.h"
#include "standin/server/GameLoop.h"
#include "standin/server/RconServer.h"
#include "standin/server/Summary.h"
#include "standin/server/WorldSchedule.h"

namespace fs = std::filesystem;

namespace standin {
namespace {

GameLoop* signalledLoop = nullptr;

void StopOnSignal(int) {
    if (signalledLoop != nullptr) signalledLoop->RequestStop();
}

void HandleStopSignals(GameLoop* loop) {
    signalledLoop = loop;
    struct sigaction action {};
    action.sa_handler = loop != nullptr ? &StopOnSignal : SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::vector<spdlog::sink_ptr> MakeLogSinks(const fs::path& serverDir) {
    const fs::path logFile = serverDir / "ArkApi" / "Logs" / "TameWarden.log";
    fs::create_directories(logFile.parent_path());
    return {std::make_shared<RecordingSink>(),
            std::make_shared<spdlog::sinks::stdout_color_sink_mt>(),
            std::make_shared<spdlog::sinks::basic_file_sink_mt>(logFile.string())};
}

std::string Trimmed(const std::string& line) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string::npos) return {};
    return line.substr(start, line.find_last_not_of(" \t") - start + 1);
}

void RunConsoleLine(const std::string& line, AShooterPlayerController* admin) {
    if (Trimmed(line).empty()) return;
    if (Host::Get().commands.ExecuteConsole(line, admin)) return;
    Host::Get().events.Record({{"type", "unknownCommand"}, {"channel", "console"}, {"line", line}});
    std::fputs(ForOutput("\x1b[31mUnknown command: " + Trimmed(line) + "\x1b[0m\n").c_str(),
               stdout);
    std::fflush(stdout);
}

}  // namespace

int RunServer(const ServerOptions& options) {
    const fs::path serverDir = fs::absolute(options.serverDir);
    const fs::path pluginPath = serverDir / "ArkApi" / "Plugins" / "TameWarden" / "TameWarden.so";
    // Everything that can refuse the start is checked before the plugin is loaded.
    const WorldDescription worldFile =
        options.worldFile ? LoadWorldFile(*options.worldFile) : WorldDescription{};
    if (!fs::is_regular_file(pluginPath))
        throw std::runtime_error("no plugin library at " + pluginPath.string());
    // The host reads the description beside the library first and refuses a malformed one.
    if (const fs::path info = pluginPath.parent_path() / "PluginInfo.json"; fs::exists(info))
        ReadPluginInfo(info);
    EventLog eventLog(options.eventsFile.value_or(""));

    Host& host = Host::Get();
    host.currentDir = serverDir.string();
    host.printReplies = true;
    host.colourOutput = ::isatty(STDOUT_FILENO) == 1;
    host.logSinks = MakeLogSinks(serverDir);
    host.events.SetListener([&eventLog](const nlohmann::json& event) { eventLog.Write(event); });
    host.world = BuildWorld(worldFile);
    AShooterPlayerController* admin = host.world->AdminPlayer();
    const size_t creaturesAtLoad = host.world->DinoKeys().size();

    std::unique_ptr<ChatListener> chat;
    if (options.webhookListenPort) {
        const auto received = [&host](const std::string& path, const std::string& content,
                                      ChatOutcome outcome) {
            if (outcome == ChatOutcome::Accepted)
                host.events.Record(
                    {{"type", "chatReceived"}, {"path", path}, {"content", content}});
            else
                host.events.Record({{"type", "chatRefused"},
                                    {"path", path},
                                    {"reason", ChatRefusalName(outcome)},
                                    {"content", content}});
        };
        chat = std::make_unique<ChatListener>(*options.webhookListenPort, received,
                                              ChatLimits{.enforced = !options.webhookUnlimited});
        std::printf("Chat stand-in listening on 127.0.0.1:%d\n", chat->Port());
    }
    GameLoop loop(options.tickRate, [&eventLog] { return eventLog.SecondsSinceStart(); });
    std::unique_ptr<RconServer> rcon;
    if (options.rconPort) {
        rcon = std::make_unique<RconServer>(loop, options.rconPassword, *options.rconPort);
        std::printf("RCON listening on 127.0.0.1:%d\n", rcon->Port());
    }
    std::fflush(stdout);
    HandleStopSignals(&loop);

    eventLog.StartClock();
    auto plugin = std::make_unique<PluginLibrary>(pluginPath.string());
    host.events.Record({{"type", "loaded"}, {"path", pluginPath.string()}});

    ConsoleInput console(
        STDIN_FILENO,
        [&](const std::string& line) {
            if (Trimmed(line) == "quit")
                loop.RequestStop();
            else
                loop.Post([line, admin] { RunConsoleLine(line, admin); });
        },
        // No more console input is no reason to stop: a server started in the background with
        // its input closed runs until "quit" was typed, a signal, or --seconds.
        [&options] {
            if (options.seconds) return;
            std::fputs(
                "Console input ended; the server keeps running (stop it with SIGINT or "
                "SIGTERM)\n",
                stdout);
            std::fflush(stdout);
        });
    WorldSchedule schedule(worldFile);
    loop.Run(options.seconds,
             [&](double secondsSinceLoad) { schedule.Advance(*host.world, secondsSinceLoad); });

    console.Stop();
    if (rcon) rcon->Stop();
    // The posts' completions are the plugin's code: they must be done before it is unloaded.
    StopRequests();
    const bool unloaded = plugin->Unload();
    plugin.reset();
    host.events.Record({{"type", "unloaded"}, {"gone", unloaded}});
    HandleStopSignals(nullptr);
    if (chat) chat->Stop();

    std::printf("\n%s", Summary(creaturesAtLoad, host.events.All(), chat != nullptr).c_str());
    std::fflush(stdout);
    host.events.SetListener(nullptr);
    host.world.reset();
    host.logSinks.clear();
    eventLog.Flush();
    return 0;
}

}  // namespace standin

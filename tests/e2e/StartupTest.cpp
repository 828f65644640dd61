// Starting and stopping the server: a world file that cannot be played is refused before the
// plugin loads, with its place and reason; signals and "quit" stop it cleanly, and the end of
// its input does not.
#include <gmock/gmock.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class StartupTest : public ::testing::Test {
protected:
    // Runs the server on the folder's world file and expects it to refuse with this message.
    void ExpectRefused(const std::string& reason) {
        folder.WriteConfig(nlohmann::json::object());
        ServerProcess server(folder.Arguments());
        EXPECT_EQ(server.WaitForExit(ServerWait), 1);
        EXPECT_THAT(server.Output(), HasSubstr("standin-server: world file " +
                                               folder.WorldPath().string() + ": " + reason));
        // Nothing was started: no events file, no plugin log.
        EXPECT_FALSE(std::filesystem::exists(folder.EventsPath()));
        EXPECT_FALSE(std::filesystem::exists(folder.Dir() / "ArkApi" / "Logs"));
    }

    ServerFolder folder;
};

TEST_F(StartupTest, WorldFileThatIsNotJsonIsRefusedWithLineAndColumn) {
    folder.WriteWorldText("{\n  \"map\": \"X\",\n  \"creatures\": [ {\"key\": \"a\",, } ]\n}\n");
    ExpectRefused("line 3, column 30: not valid JSON: syntax error");
}

TEST_F(StartupTest, CreatureLevelOfTheWrongTypeIsRefusedWithItsKey) {
    folder.WriteWorld({{"creatures", {{{"key", "a"}}, {{"key", "b"}, {"level", "high"}}}}});
    ExpectRefused(
        "creatures[1].level: expected an integer from -2147483648 to 2147483647, got string");
}

TEST_F(StartupTest, StatArrayOfTheWrongLengthIsRefused) {
    folder.WriteWorld(
        {{"creatures", {{{"key", "a"}, {"levelUpPoints", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}}}}});
    ExpectRefused("creatures[0].levelUpPoints: expected 12 values, got 11");
}

TEST_F(StartupTest, UnknownKeyIsRefusedSoTyposDoNotGoUnnoticed) {
    folder.WriteWorld({{"creatures", {{{"key", "a"}, {"lvl", 5}}}}});
    ExpectRefused("creatures[0].lvl: unknown key");
}

TEST_F(StartupTest, MissingWorldFileIsRefused) { ExpectRefused("cannot be opened"); }

TEST_F(StartupTest, MissingPluginLibraryIsRefused) {
    folder.WriteWorld(nlohmann::json::object());
    std::filesystem::remove(folder.ConfigPath().parent_path() / "TameWarden.so");
    ServerProcess server(folder.Arguments());
    EXPECT_EQ(server.WaitForExit(ServerWait), 1);
    EXPECT_THAT(server.Output(), HasSubstr("standin-server: no plugin library at "));
}

TEST_F(StartupTest, UnknownOptionIsRefusedWithUsageHint) {
    ServerProcess server({"--frobnicate"});
    EXPECT_EQ(server.WaitForExit(ServerWait), 2);
    EXPECT_THAT(server.Output(), HasSubstr("--frobnicate: unknown option (see --help)"));
}

TEST_F(StartupTest, HelpListsEveryOption) {
    ServerProcess server({"--help"});
    EXPECT_EQ(server.WaitForExit(ServerWait), 0);
    for (const char* option : {"--server-dir", "--world", "--seconds", "--tick-rate", "--rcon-port",
                               "--rcon-password", "--webhook-listen", "--events"})
        EXPECT_THAT(server.Output(), HasSubstr(option));
}

TEST_F(StartupTest, ServerRefusesToLoadBesideAMalformedPluginInfo) {
    ServerFolder& server = folder;
    server.WriteConfig({{"LevelWarningWebhook", "http://127.0.0.1:9/x"}});
    const std::filesystem::path info = server.ConfigPath().parent_path() / "PluginInfo.json";
    std::ofstream(info) << R"({"FullName": "TameWarden", "Version": 1})";
    {
        ServerProcess process({"--server-dir", server.Dir().string(), "--events",
                               server.EventsPath().string(), "--seconds", "0.2"});
        process.CloseInput();
        ASSERT_EQ(process.WaitForExit(std::chrono::seconds(30)), 1) << process.Output();
        EXPECT_THAT(process.Output(),
                    HasSubstr("standin-server: " + info.string() + ": missing \"Description\""));
        EXPECT_THAT(server.Events("loaded"), IsEmpty());
    }
    std::filesystem::copy_file(
        std::filesystem::path(TAMEWARDEN_SOURCE_DIR) / "plugin" / "PluginInfo.json", info,
        std::filesystem::copy_options::overwrite_existing);
    ServerProcess process({"--server-dir", server.Dir().string(), "--events",
                           server.EventsPath().string(), "--seconds", "0.2"});
    process.CloseInput();
    ASSERT_EQ(process.WaitForExit(std::chrono::seconds(30)), 0) << process.Output();
    EXPECT_EQ(server.Events("loaded").size(), 1u);
}

class ShutdownTest : public ::testing::TestWithParam<std::string> {};

// Each way to stop unloads the plugin, writes the last events and prints the summary.
TEST_P(ShutdownTest, StopsCleanlyWithThePluginUnloaded) {
    ServerFolder folder;
    folder.WriteConfig(nlohmann::json::object());
    folder.WriteWorld({{"creatures", {{{"key", "a"}}}}});
    ServerProcess server(folder.Arguments());
    ASSERT_TRUE(folder.WaitForEvents(
        [](const auto& events) { return !events.empty() && events.back().at("type") == "loaded"; },
        ServerWait));
    const std::string how = GetParam();
    if (how == "SIGTERM") server.Signal(SIGTERM);
    if (how == "SIGINT") server.Signal(SIGINT);
    if (how == "quit") server.WriteLine("quit");
    EXPECT_EQ(server.WaitForExit(ServerWait), 0) << server.Output();
    const auto events = folder.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().at("type"), "unloaded");
    EXPECT_EQ(events.back().at("gone"), true);
    EXPECT_THAT(server.Output(), HasSubstr("Creatures in the world at load: 1"));
}

INSTANTIATE_TEST_SUITE_P(EachWayToStop, ShutdownTest,
                         ::testing::Values("SIGTERM", "SIGINT", "quit"),
                         [](const auto& test) { return test.param; });

// Started in the background with its input closed, the server goes on serving until told to stop.
TEST(EndOfInputTest, ServerKeepsRunningWhenItsInputEnds) {
    ServerFolder folder;
    folder.WriteConfig(nlohmann::json::object());
    folder.WriteWorld(nlohmann::json::object());
    ServerProcess server(folder.Arguments());
    server.WriteLine("no.such.command");
    server.WriteLine("tmwd.status");
    server.CloseInput();
    for (const char* text : {"Console input ended; the server keeps running",
                             "Unknown command: no.such.command\n", "\nqueue: 0 waiting\n"})
        ASSERT_TRUE(server.WaitForOutput(text, ServerWait)) << text << "\n" << server.Output();
    EXPECT_FALSE(server.WaitForExit(std::chrono::seconds(1))) << server.Output();
    server.Signal(SIGTERM);
    EXPECT_EQ(server.WaitForExit(ServerWait), 0) << server.Output();
    // Its output is a pipe, not a terminal: the reply and the refusal come without colour codes.
    EXPECT_EQ(server.Output().find('\x1b'), std::string::npos) << server.Output();
}

TEST(SecondsOptionTest, RunEndsAfterTheGivenSecondsEvenWithInputOpen) {
    ServerFolder folder;
    folder.WriteConfig(nlohmann::json::object());
    folder.WriteWorld(nlohmann::json::object());
    std::vector<std::string> arguments = folder.Arguments();
    arguments.insert(arguments.end(), {"--seconds", "1"});
    const auto started = std::chrono::steady_clock::now();
    ServerProcess server(arguments);
    EXPECT_EQ(server.WaitForExit(ServerWait), 0);
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_GE(took, std::chrono::milliseconds(1000));
    EXPECT_LT(took, std::chrono::seconds(10));
    EXPECT_GE(folder.Events("unloaded").at(0).at("t").get<double>(), 1.0);
}

}  // namespace

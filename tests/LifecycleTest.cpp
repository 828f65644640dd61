// Loading and unloading the plugin inside the host: what it registers, in what order, and what a
// failed load leaves behind.
#include <gmock/gmock.h>

#include <regex>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// What the host holds of the plugin: its hook and its commands.
const std::set<std::string> Registrations = {"hookInstalled",
                                             "hookRemoved",
                                             "consoleCommandRegistered",
                                             "consoleCommandUnregistered",
                                             "rconCommandRegistered",
                                             "rconCommandUnregistered",
                                             "updateCallbackRegistered",
                                             "updateCallbackUnregistered"};

class LifecycleTest : public PluginFixture {};

TEST_F(LifecycleTest, LoadWithoutWorldInstallsHookAndEachCommandOnConsoleAndRcon) {
    WriteConfig("{}");
    LoadPlugin();
    EXPECT_THAT(
        Sequence(Registrations),
        ElementsAre("hookInstalled APrimalDinoCharacter.BeginPlay()",
                    "consoleCommandRegistered tmwd.reload", "rconCommandRegistered tmwd.reload",
                    "consoleCommandRegistered tmwd.status", "rconCommandRegistered tmwd.status",
                    "consoleCommandRegistered tmwd.preview", "rconCommandRegistered tmwd.preview"));
    EXPECT_THAT(Events("log"), IsEmpty());
    EXPECT_FALSE(host.commands.HasUpdateCallback("TWD.HelperTimer.Update"));
}

TEST_F(LifecycleTest, UnloadRemovesHookAndCommandsMirroringLoad) {
    WriteConfig("{}");
    LoadPlugin();
    host.events.Clear();
    UnloadPlugin();
    EXPECT_THAT(
        Sequence(Registrations),
        ElementsAre("hookRemoved APrimalDinoCharacter.BeginPlay()",
                    "consoleCommandUnregistered tmwd.reload", "rconCommandUnregistered tmwd.reload",
                    "consoleCommandUnregistered tmwd.status", "rconCommandUnregistered tmwd.status",
                    "consoleCommandUnregistered tmwd.preview",
                    "rconCommandUnregistered tmwd.preview"));
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_FALSE(ConsoleCommandRegistered());
    EXPECT_FALSE(RconCommandRegistered());
    for (const char* command : {"tmwd.status", "tmwd.preview"}) {
        EXPECT_FALSE(host.commands.HasConsoleCommand(command));
        EXPECT_FALSE(host.commands.HasRconCommand(command));
    }
}

TEST_F(LifecycleTest, MissingConfigStopsLoadAfterLoggerWithOneCriticalLine) {
    LoadPlugin();
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].at("level"), "critical");
    EXPECT_EQ(logs[0].at("text"), "Failed to load TameWarden! \n Can't open config.json");
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_FALSE(ConsoleCommandRegistered());
    EXPECT_FALSE(RconCommandRegistered());
}

TEST_F(LifecycleTest, MalformedConfigStopsLoadWithTheParseError) {
    WriteConfig("{\"DestroyDinosOverLevel\": ");
    standin::World& world = MakeWorld();
    world.AddDino({.key = "rex", .level = 5000});
    LoadPlugin();
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].at("level"), "critical");
    EXPECT_THAT(
        logs[0].at("text").get<std::string>(),
        ::testing::StartsWith("Failed to load TameWarden! \n [json.exception.parse_error.101]"));
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_FALSE(ConsoleCommandRegistered());
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
}

TEST_F(LifecycleTest, LogRecordsCarryPluginNameLevelAndPattern) {
    LoadPlugin();
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 1u);
    // "%D %R [%n][%l] %v": MM/DD/YY HH:MM [TameWarden][critical] text. std::regex, since
    // GoogleTest's own regular expressions on Windows know no brackets.
    const std::string line = logs[0].at("line");
    EXPECT_TRUE(std::regex_match(line, std::regex("[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2} "
                                                  "\\[TameWarden\\]\\[critical\\] Failed to "
                                                  "load[\\s\\S]*")))
        << line;
}

TEST_F(LifecycleTest, EntryReturnsSuccessForEveryReasonAndThreadNotificationsDoNothing) {
    WriteConfig("{}");
    LoadPlugin();
    host.events.Clear();
    EXPECT_EQ(plugin->CallEntry(2), 1);
    EXPECT_EQ(plugin->CallEntry(3), 1);
    EXPECT_THAT(host.events.All(), IsEmpty());
    EXPECT_TRUE(ConsoleCommandRegistered());
}

TEST_F(LifecycleTest, EachLoadStartsWithFreshProcessWideObjects) {
    WriteConfig("{}");
    LoadPlugin();
    UnloadPlugin();
    RemoveConfig();
    host.events.Clear();
    LoadPlugin();  // a fresh Config: null, so the missing file stops this load
    EXPECT_FALSE(ConsoleCommandRegistered());
    EXPECT_EQ(Events("log").size(), 1u);
}

}  // namespace

// Loading and unloading the plugin inside the host: what it registers, in what order, and what a
// failed load leaves behind.
#include <gmock/gmock.h>

#include <fstream>

#include "tests/PluginFixture.h"
#include "tests/TextPattern.h"

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
        ElementsAre("consoleCommandRegistered tmwd.status", "rconCommandRegistered tmwd.status",
                    "consoleCommandRegistered tmwd.preview", "rconCommandRegistered tmwd.preview",
                    "hookInstalled APrimalDinoCharacter.BeginPlay()",
                    "consoleCommandRegistered tmwd.reload", "rconCommandRegistered tmwd.reload",
                    "consoleCommandRegistered tmwd.release", "rconCommandRegistered tmwd.release",
                    "consoleCommandRegistered tmwd.recheck", "rconCommandRegistered tmwd.recheck"));
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
        ElementsAre(
            "hookRemoved APrimalDinoCharacter.BeginPlay()",
            "consoleCommandUnregistered tmwd.reload", "rconCommandUnregistered tmwd.reload",
            "consoleCommandUnregistered tmwd.release", "rconCommandUnregistered tmwd.release",
            "consoleCommandUnregistered tmwd.recheck", "rconCommandUnregistered tmwd.recheck",
            "consoleCommandUnregistered tmwd.preview", "rconCommandUnregistered tmwd.preview",
            "consoleCommandUnregistered tmwd.status", "rconCommandUnregistered tmwd.status"));
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_FALSE(ConsoleCommandRegistered());
    EXPECT_FALSE(RconCommandRegistered());
    for (const char* command : {"tmwd.status", "tmwd.preview", "tmwd.release", "tmwd.recheck"}) {
        EXPECT_FALSE(host.commands.HasConsoleCommand(command));
        EXPECT_FALSE(host.commands.HasRconCommand(command));
    }
}

TEST_F(LifecycleTest, MissingConfigStopsLoadAfterLoggerWithOneCriticalLine) {
    LoadPlugin();
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].at("level"), "critical");
    EXPECT_EQ(logs[0].at("text"),
              "Failed to load TameWarden! \n stopped at reading the config: " + ConfigPathText() +
                  ": Can't open config.json; fix the file and run tmwd.reload");
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_TRUE(ConsoleCommandRegistered());
    EXPECT_TRUE(RconCommandRegistered());
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
        ::testing::StartsWith("Failed to load TameWarden! \n stopped at reading the config: " +
                              ConfigPathText() + ": [json.exception.parse_error.101]"));
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_TRUE(ConsoleCommandRegistered());
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
}

// The load stops in the sweep; status still answers, naming the key and what to do.
TEST_F(LifecycleTest, WrongTypedKeyAtLoadNamesTheKeyAndFileAndStatusStillAnswers) {
    WriteConfig(R"({"DestroyDinosOverLevel": "500"})");
    MakeWorld().AddDino({.key = "rex", .level = 20});
    LoadPlugin();
    const std::string error = "[json.exception.type_error.302] type must be number, but is string";
    EXPECT_THAT(Texts("log"), ElementsAre(SweepStoppedAt("DestroyDinosOverLevel", error)));
    EXPECT_TRUE(ConsoleCommandRegistered());
    EXPECT_TRUE(RconCommandRegistered());

    ASSERT_TRUE(host.commands.ExecuteRcon("tmwd.status", nullptr, 7));
    const auto replies = Texts("reply");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_THAT(replies[0],
                ::testing::HasSubstr("\nload stopped at the start-up sweep: key "
                                     "\"DestroyDinosOverLevel\" in " +
                                     ConfigPathText() + ": " + error +
                                     "\nthe load waits for a good config: fix the file and run "
                                     "tmwd.reload\n"));
    EXPECT_THAT(replies[0], ::testing::HasSubstr("\nover-level: stops checks: " + error + "\n"));
}

// With no config in force, a corrected file can still be tried before the restart.
TEST_F(LifecycleTest, MissingConfigAtLoadLeavesStatusAndPreviewOfAFile) {
    MakeWorld().AddDino({.key = "rex", .level = 900});
    LoadPlugin();
    ASSERT_TRUE(host.commands.ExecuteRcon("tmwd.status", nullptr, 7));
    std::ofstream(ConfigPath().parent_path() / "fixed.json") << R"({"DestroyDinosOverLevel": 500})";
    ASSERT_TRUE(host.commands.ExecuteRcon("tmwd.preview fixed.json", nullptr, 8));
    ASSERT_TRUE(host.commands.ExecuteRcon("tmwd.preview", nullptr, 9));
    const auto replies = Texts("reply");
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_THAT(replies[0],
                ::testing::HasSubstr("\nload stopped at reading the config: " + ConfigPathText() +
                                     ": Can't open config.json\n"
                                     "the load waits for a good config: fix the file "
                                     "and run tmwd.reload\n"
                                     "no config in force: no creature is checked\n"));
    EXPECT_THAT(replies[1], ::testing::HasSubstr("\nover-level: of 1 creature(s), destroy 1, only "
                                                 "report 0, leave 0\n"));
    EXPECT_EQ(replies[2],
              "TameWarden: no config in force, the load stopped reading it; preview a file: "
              "tmwd.preview FILE");
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("rex"));
}

TEST_F(LifecycleTest, LogRecordsCarryPluginNameLevelAndPattern) {
    LoadPlugin();
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 1u);
    // "%D %R [%n][%l] %v": MM/DD/YY HH:MM [TameWarden][critical] text. Not GoogleTest's own
    // regular expressions: on Windows they know no brackets.
    const std::string line = logs[0].at("line");
    EXPECT_TRUE(TextPattern("[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2} "
                            "\\[TameWarden\\]\\[critical\\] Failed to load[\\s\\S]*")
                    .Matches(line))
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
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_EQ(Events("log").size(), 1u);
}

}  // namespace

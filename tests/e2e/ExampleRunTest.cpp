// The example server folder and world, played as scripts/run-example.sh plays them: every rule
// acts, exempt creatures stay, and the chat stand-in receives every post.
#include <gmock/gmock.h>

#include <fstream>

#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::UnorderedElementsAreArray;

namespace {

constexpr const char* TribeMembers =
    "```Ann - EOS id: 0002a1b2c3d4e5f60718293a4b5c6d7e\n"
    "Bob - EOS id: 0002bbbbbbbbbbbbbbbbbbbbbbbbbbbb\n"
    "Cy - player id: ```";
constexpr const char* SoloMembers = "```Solo - EOS Id: 0002dddddddddddddddddddddddddddd```";

std::vector<std::string> Contents(const std::vector<nlohmann::json>& events,
                                  const std::string& type) {
    std::vector<std::string> contents;
    for (const auto& event : events) {
        if (event.value("type", "") != type) continue;
        contents.push_back(type == "post"
                               ? nlohmann::json::parse(event.at("body").get<std::string>())
                                     .at("content")
                                     .get<std::string>()
                               : event.at("content").get<std::string>());
    }
    return contents;
}

TEST(ExampleRunTest, EveryRuleActsOnTheExampleWorldAndTheChatStandInShowsEveryPost) {
    ServerFolder folder;
    nlohmann::json config;
    std::ifstream(std::string(TAMEWARDEN_SOURCE_DIR) +
                  "/examples/server/ArkApi/Plugins/TameWarden/config.json") >>
        config;
    const int chatPort = FreePort();
    const std::string webhook = "http://127.0.0.1:" + std::to_string(chatPort) + "/webhook";
    config["LevelWarningWebhook"] = webhook;
    folder.WriteConfig(config);
    std::vector<std::string> arguments = {
        "--server-dir",
        folder.Dir().string(),
        "--world",
        std::string(TAMEWARDEN_SOURCE_DIR) + "/examples/worlds/example-world.json",
        "--events",
        folder.EventsPath().string(),
        "--seconds",
        "4",
        "--webhook-listen",
        std::to_string(chatPort)};

    ServerProcess server(arguments);
    server.CloseInput();
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(30)), 0) << server.Output();
    const auto events = folder.Events();

    EXPECT_THAT(Creatures(events, "destroyed"),
                ElementsAre("rex-over-level", "dodo-below-minimum", "raptor-incoherent",
                            "stego-over-stat-limit", "argentavis-begins-play-over-level",
                            "trike-removed-before-check"));
    EXPECT_THAT(Creatures(events, "despawn"), ElementsAre("trike-removed-before-check"));
    EXPECT_THAT(Creatures(events, "beginPlay"),
                ElementsAre("pteranodon-begins-play", "argentavis-begins-play-over-level",
                            "carno-begins-play-warning", "trike-removed-before-check"));

    const std::vector<std::string> expectedPosts = {
        std::string("# Destroyed dino(Rex) level 600 from tribe 1000060001 at X=1520.000 "
                    "Y=-33.250 Z=0.125\nMembers: ") +
            TribeMembers,
        std::string("# [**TheIsland_WP**] Detected dino(Giganotosaurus) level 350 from tribe "
                    "1000060001 at X=-2048.500 Y=4096.000 Z=-12.000\nMembers: ") +
            TribeMembers,
        "[**TheIsland_WP**] Detected **wild** dino(Wyvern) level 320 at X=100.000 Y=200.000 "
        "Z=300.000",
        std::string("# [**TheIsland_WP**] DELETED dino(Dodo) level 1 from tribe 60001 at X=5.000 "
                    "Y=6.000 Z=7.000\nMembers: ") +
            SoloMembers,
        std::string("# [**TheIsland_WP**] Deleted **incoherent** dino(Raptor) level 100 at "
                    "X=-1.000 Y=-2.000 Z=-3.000\nMembers: ") +
            TribeMembers,
        std::string("# [**TheIsland_WP**] Deleted **over stat limit** dino(Stegosaurus) level "
                    "200 at X=7000.000 Y=7000.000 Z=70.000. Tribe id: 60001\nMembers:\n") +
            SoloMembers,
        std::string("# Destroyed dino(Argentavis) level 700 from tribe 60001 at X=-500.000 "
                    "Y=250.000 Z=125.000\nMembers: ") +
            SoloMembers,
        std::string("# [**TheIsland_WP**] Detected dino(Carnotaurus) level 310 from tribe "
                    "1000060001 at X=0.000 Y=0.000 Z=0.000\nMembers: ") +
            TribeMembers,
    };
    EXPECT_THAT(
        Contents(events, "post"),
        ElementsAre(expectedPosts[0], expectedPosts[1], expectedPosts[2], expectedPosts[3],
                    expectedPosts[4], expectedPosts[5], expectedPosts[6], expectedPosts[7]));
    for (const auto& post : folder.Events("post")) EXPECT_EQ(post.at("url"), webhook);
    // Posts travel on several workers, so the chat stand-in may see them in another order.
    EXPECT_THAT(Contents(events, "chatReceived"), UnorderedElementsAreArray(expectedPosts));

    std::vector<std::string> logTexts;
    for (const auto& log : folder.Events("log")) logTexts.push_back(log.at("text"));
    EXPECT_THAT(
        logTexts,
        ElementsAre("Destroyed dino(Rex) level 600 from tribe 1000060001 at X=1520.000 "
                    "Y=-33.250 Z=0.125\nMembers: Ann - EOS id: "
                    "0002a1b2c3d4e5f60718293a4b5c6d7e\nBob - EOS id: "
                    "0002bbbbbbbbbbbbbbbbbbbbbbbbbbbb\nCy - player id: ",
                    "Destroyed dino(Dodo) level 1 team 60001 (below-minimum), journal seq 2",
                    "Destroyed dino(Raptor) level 100 team 1000060001 (incoherent), "
                    "journal seq 3",
                    "Destroyed dino(Stegosaurus) level 200 team 60001 (stat-limit), "
                    "journal seq 4",
                    "Destroyed dino(Argentavis) level 700 from tribe 60001 at "
                    "X=-500.000 Y=250.000 Z=125.000\nMembers: Solo - EOS Id: "
                    "0002dddddddddddddddddddddddddddd"));

    EXPECT_THAT(
        server.Output(),
        ::testing::HasSubstr("Destroyed by the plugin:        5 (rex-over-level, "
                             "dodo-below-minimum, raptor-incoherent, stego-over-stat-limit, "
                             "argentavis-begins-play-over-level)"));
    EXPECT_THAT(server.Output(), ::testing::HasSubstr("Posts sent:                     8"));
    // The operator's log file holds the same two destroy lines.
    std::ifstream logFile(folder.Dir() / "ArkApi" / "Logs" / "TameWarden.log");
    std::stringstream logText;
    logText << logFile.rdbuf();
    EXPECT_THAT(logText.str(),
                ::testing::HasSubstr("[TameWarden][warning] Destroyed dino(Argentavis) level 700"));
}

TEST(ExampleRunTest, EventsFileIsStampedInOrderAndFramedByLoadedAndUnloaded) {
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld({{"creatures", {{{"key", "rex"}, {"level", 600}}}}});
    std::vector<std::string> arguments = folder.Arguments();
    arguments.insert(arguments.end(), {"--seconds", "0.5"});
    ServerProcess server(arguments);
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(20)), 0) << server.Output();

    const auto events = folder.Events();
    ASSERT_FALSE(events.empty());
    double previous = 0;
    std::vector<std::string> frame;
    for (const auto& event : events) {
        ASSERT_TRUE(event.contains("type") && event.at("t").is_number()) << event.dump();
        EXPECT_GE(event.at("t").get<double>(), previous) << event.dump();
        previous = event.at("t");
        const std::string type = event.at("type");
        if (type != "log") frame.push_back(type + " " + event.value("creature", ""));
    }
    // The sweep runs inside the load, so its effects come before "loaded". Five commands,
    // each on the console and over RCON: status and preview before the hook, reload, release and
    // recheck after the sweep. The first destruction's record brings the journal's write at each
    // tick. At unload the mirror: the hook, reload, release, recheck, the journal, then preview
    // and status.
    std::vector<std::string> expected;
    for (int command = 0; command < 2; ++command)
        expected.insert(expected.end(), {"consoleCommandRegistered ", "rconCommandRegistered "});
    expected.insert(expected.end(), {"hookInstalled ", "post ", "destroyed rex"});
    for (int command = 0; command < 3; ++command)
        expected.insert(expected.end(), {"consoleCommandRegistered ", "rconCommandRegistered "});
    expected.insert(expected.end(), {"loaded ", "hookRemoved "});
    for (int command = 0; command < 3; ++command)
        expected.insert(expected.end(),
                        {"consoleCommandUnregistered ", "rconCommandUnregistered "});
    for (int command = 0; command < 2; ++command)
        expected.insert(expected.end(),
                        {"consoleCommandUnregistered ", "rconCommandUnregistered "});
    expected.push_back("unloaded ");
    EXPECT_THAT(frame, ElementsAreArray(expected));
    EXPECT_EQ(events.back().at("gone"), true);
}

}  // namespace

// Creatures that begin play after load: checked once, about a second later, in order; the queue
// stalls at a failing check and drains after a reload; unload drops what still waits.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* UpdateId = "TWD.HelperTimer.Update";

class DeferredCheckTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
    }

    // Runs game ticks every few milliseconds until `done` holds or the time is up.
    template <typename Done>
    bool TickUntil(Done done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            host.commands.RunUpdateCallbacks(0.005f);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
    void TickFor(std::chrono::milliseconds span) {
        TickUntil([] { return false; }, span);
    }
};

TEST_F(DeferredCheckTest, CreatureIsCheckedOnceAboutOneSecondAfterItsBeginPlay) {
    WriteConfig("{}");
    LoadPlugin();
    host.events.Clear();
    const auto began = Clock::now();
    host.world->SpawnDino({.key = "rex", .level = 1500});
    ASSERT_EQ(Events("beginPlay").size(), 1u);  // the game's BeginPlay ran, first
    EXPECT_TRUE(host.commands.HasUpdateCallback(UpdateId));
    ASSERT_TRUE(TickUntil([&] { return !DestroyedKeys().empty(); }));
    const auto waited = Clock::now() - began;
    EXPECT_GE(waited, std::chrono::milliseconds(1000));
    EXPECT_LT(waited, std::chrono::milliseconds(3000));
    TickFor(std::chrono::milliseconds(100));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
    EXPECT_EQ(Events("post").size(), 1u);
}

TEST_F(DeferredCheckTest, CreaturesAreCheckedInTheOrderTheyBeganPlay) {
    WriteConfig(R"({"DestroyDinosOverLevel": 10})");
    LoadPlugin();
    for (const char* key : {"a", "b", "c"}) host.world->SpawnDino({.key = key, .level = 20});
    ASSERT_TRUE(TickUntil([&] { return DestroyedKeys().size() == 3; }));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("a", "b", "c"));
}

TEST_F(DeferredCheckTest, CreatureGoneBeforeItsCheckLeavesNoTraceAndDoesNotBlockTheQueue) {
    WriteConfig(R"({"DestroyDinosOverLevel": 10})");
    LoadPlugin();
    APrimalDinoCharacter* early = host.world->SpawnDino({.key = "early", .level = 20});
    host.world->SpawnDino({.key = "late", .level = 20});
    host.world->Destroy(early);
    host.events.Clear();
    ASSERT_TRUE(TickUntil([&] { return !DestroyedKeys().empty(); }));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("late"));
    EXPECT_EQ(Events("post").size(), 1u);
    EXPECT_THAT(Events("log").size(), 1u);  // only late's destroy line
}

TEST_F(DeferredCheckTest, NoCreatureBeganPlayMeansNoTimerAndNoUpdateCallback) {
    WriteConfig("{}");
    host.world->AddDino({.key = "resident"});
    LoadPlugin();
    EXPECT_EQ(host.commands.UpdateCallbackCount(), 0u);
    UnloadPlugin();
    EXPECT_THAT(Events("updateCallbackUnregistered"), IsEmpty());
}

TEST_F(DeferredCheckTest, UnloadDropsWaitingChecksAndUnregistersTheCallbackLast) {
    WriteConfig(R"({"DestroyDinosOverLevel": 10})");
    LoadPlugin();
    host.world->SpawnDino({.key = "waiting", .level = 20});
    host.events.Clear();
    UnloadPlugin();
    EXPECT_THAT(
        Sequence({"hookRemoved", "consoleCommandUnregistered", "rconCommandUnregistered",
                  "updateCallbackUnregistered", "destroyed", "post", "log"}),
        ElementsAre(
            "hookRemoved APrimalDinoCharacter.BeginPlay()",
            "consoleCommandUnregistered tmwd.reload", "rconCommandUnregistered tmwd.reload",
            "consoleCommandUnregistered tmwd.release", "rconCommandUnregistered tmwd.release",
            "consoleCommandUnregistered tmwd.recheck", "rconCommandUnregistered tmwd.recheck",
            "consoleCommandUnregistered tmwd.preview", "rconCommandUnregistered tmwd.preview",
            "consoleCommandUnregistered tmwd.status", "rconCommandUnregistered tmwd.status",
            "updateCallbackUnregistered TWD.HelperTimer.Update"));
    EXPECT_EQ(host.commands.UpdateCallbackCount(), 0u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    host.commands.RunUpdateCallbacks(0);
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("waiting"));
}

TEST_F(DeferredCheckTest, WrongTypedKeyStallsTheQueueUntilAReloadDrainsIt) {
    WriteConfig(R"({"MinDinoLevel": "five"})");
    LoadPlugin();
    for (const char* key : {"first", "second", "third"})
        host.world->SpawnDino({.key = key, .level = 3});
    TickFor(std::chrono::milliseconds(1400));
    // Every tick stopped at the first task; the error was logged once, not at every tick.
    EXPECT_THAT(Events("post"), IsEmpty());
    ASSERT_EQ(Texts("log").size(), 1u);
    EXPECT_EQ(Events("log")[0].at("level"), "critical");
    EXPECT_EQ(Texts("log")[0],
              "Deferred creature check failed, checks wait until it passes! \n key "
              "\"MinDinoLevel\" in " +
                  ConfigPathText() +
                  ": [json.exception.type_error.302] type must be number, but is string; fix the "
                  "file and run tmwd.reload");
    EXPECT_THAT(Events("uncaught"), IsEmpty());

    WriteConfig(R"({"MinDinoLevel": 5, "AutoDestroyDinosBelowMinLevel": true})");
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    host.commands.RunUpdateCallbacks(0);
    EXPECT_THAT(DestroyedKeys(), ElementsAre("first", "second", "third"));
}

TEST_F(DeferredCheckTest, UnreadableWebhookKeepsAnOverLevelCreatureWithoutAFalseDestroyedLine) {
    WriteConfig(R"({"DestroyDinosOverLevel": 10, "LevelWarningWebhook": null})");
    LoadPlugin();
    host.world->SpawnDino({.key = "rex", .level = 20});
    TickFor(std::chrono::milliseconds(1500));
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("rex"));
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_THAT(Texts("log"),
                ElementsAre("Deferred creature check failed, checks wait until it passes! \n key "
                            "\"LevelWarningWebhook\" in " +
                            ConfigPathText() +
                            ": [json.exception.type_error.302] type must be string, but is null; "
                            "fix the file and run tmwd.reload"));

    WriteConfig(R"({"DestroyDinosOverLevel": 10, "LevelWarningWebhook": "http://127.0.0.1:9/h"})");
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    TickFor(std::chrono::milliseconds(100));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
    std::vector<std::string> destroyedLines;
    for (const std::string& text : Texts("log"))
        if (text.starts_with("Destroyed dino(")) destroyedLines.push_back(text);
    EXPECT_EQ(destroyedLines.size(), 1u);
    EXPECT_EQ(Events("post").size(), 1u);
}

TEST_F(DeferredCheckTest, RefusedUpdateCallbackLeavesNoTimerAndTheNextCreatureTriesAgain) {
    WriteConfig(R"({"DestroyDinosOverLevel": 10})");
    LoadPlugin();
    host.commands.refuseUpdateCallbacks = true;
    host.world->SpawnDino({.key = "unqueued", .level = 20});
    EXPECT_EQ(Events("beginPlay").size(), 1u);  // the game's BeginPlay still ran
    EXPECT_THAT(Texts("log"), ElementsAre("Failed to queue a creature check! \n update callback "
                                          "TWD.HelperTimer.Update refused"));
    EXPECT_THAT(Events("uncaught"), IsEmpty());
    host.commands.refuseUpdateCallbacks = false;
    host.world->SpawnDino({.key = "queued", .level = 20});
    EXPECT_TRUE(host.commands.HasUpdateCallback(UpdateId));
    ASSERT_TRUE(TickUntil([&] { return !DestroyedKeys().empty(); }));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("queued"));
}

// A reload cannot put a wrong-typed key in force, so the failure changes with the host here.
TEST_F(DeferredCheckTest, AChangedFailureIsLoggedAgain) {
    WriteConfig(R"({"MinDinoLevel": "five"})");
    LoadPlugin();
    host.world->SpawnDino({.key = "rex", .level = 3});
    TickFor(std::chrono::milliseconds(1200));
    host.throwUnknownFrom = "FWeakObjectPtr.Get()";
    TickFor(std::chrono::milliseconds(100));
    const auto logs = Texts("log");
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_THAT(logs[0], ::testing::HasSubstr("key \"MinDinoLevel\" in "));
    EXPECT_EQ(logs[1],
              "Deferred creature check failed, checks wait until it passes! \n unknown "
              "error");
}

}  // namespace

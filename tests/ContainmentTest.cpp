// Nothing the host or the game throws leaves the plugin's entry points: the library entry, the
// reload handlers, the BeginPlay hook and the deferred queue each contain it and log it, also when
// it is not a standard exception.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "host/GameFacts.h"
#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

class ContainmentTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
        WriteConfig(R"({"DestroyDinosOverLevel": 10})");
    }

    void TickFor(std::chrono::milliseconds span) {
        const auto end = std::chrono::steady_clock::now() + span;
        while (std::chrono::steady_clock::now() < end) {
            host.commands.RunUpdateCallbacks(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

TEST_F(ContainmentTest, UnloadStepThatFailsIsLoggedAndTheOtherStepsStillRun) {
    LoadPlugin();
    host.throwUnknownFrom = "RemoveHook";
    UnloadPlugin();  // fails the test if the library stayed; an escape would end the process
    EXPECT_THAT(Texts("log"),
                ElementsAre("Failed to unload TameWarden! \n the hook on "
                            "APrimalDinoCharacter.BeginPlay() stays registered: unknown error"));
    // Nothing that leads into the gone library stays registered but the hook the host refused.
    EXPECT_FALSE(ConsoleCommandRegistered());
    EXPECT_FALSE(RconCommandRegistered());
}

TEST_F(ContainmentTest, ReloadThatThrowsAnUnknownErrorRepliesFailed) {
    LoadPlugin();
    host.throwUnknownFrom = "GetCurrentDir";
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    host.commands.ExecuteRcon("tmwd.reload", nullptr, 8);
    EXPECT_THAT(Texts("reply"), ElementsAre("TameWarden: Failed to reload config",
                                            "TameWarden: Failed to reload config"));
    EXPECT_THAT(Texts("log"), ElementsAre("Failed to reload config! \n unknown error",
                                          "Failed to reload config! \n unknown error"));
    EXPECT_THAT(Events("uncaught"), IsEmpty());
}

TEST_F(ContainmentTest, ReloadWhoseRepliesBothFailLogsAndLetsNothingOut) {
    LoadPlugin();
    host.throwUnknownFrom = "MessengerFor";
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    EXPECT_THAT(Texts("reply"), IsEmpty());
    // The success reply failed, so the reload counts as failed; then its failure reply failed.
    EXPECT_THAT(Texts("log"), ElementsAre("Failed to reload config! \n unknown error",
                                          "Failed to reply to a reload! \n unknown error"));
    EXPECT_THAT(Events("uncaught"), IsEmpty());
    // The file was read and is in force: the status tells the reload's own outcome.
    host.throwUnknownFrom.clear();
    host.commands.ExecuteRcon("tmwd.status", nullptr, 9);
    ASSERT_EQ(Texts("reply").size(), 1u);
    EXPECT_THAT(Texts("reply")[0], HasSubstr("; last reload: reloaded\n"));
}

TEST_F(ContainmentTest, HookThatCannotQueueLogsAnUnknownError) {
    LoadPlugin();
    host.throwUnknownFrom = "RegisterUpdateCallback";
    host.world->SpawnDino({.key = "rex", .level = 20});
    EXPECT_EQ(Events("beginPlay").size(), 1u);
    EXPECT_THAT(Texts("log"), ElementsAre("Failed to queue a creature check! \n unknown error"));
    EXPECT_THAT(Events("uncaught"), IsEmpty());
}

TEST_F(ContainmentTest, QueuedCheckThatThrowsAnUnknownErrorStallsAndIsLoggedOnce) {
    LoadPlugin();
    host.world->SpawnDino({.key = "rex", .level = 20});
    host.throwUnknownFrom = "FWeakObjectPtr.Get()";
    TickFor(std::chrono::milliseconds(1300));
    EXPECT_THAT(Texts("log"),
                ElementsAre("Deferred creature check failed, checks wait until it passes! \n "
                            "unknown error"));
    EXPECT_THAT(Events("uncaught"), IsEmpty());
    host.throwUnknownFrom.clear();
    TickFor(std::chrono::milliseconds(50));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
}

TEST_F(ContainmentTest, SweepThatThrowsAnUnknownErrorStopsTheLoadAndIsLogged) {
    host.world->AddDino({.key = "rex", .level = 20});
    host.throwUnknownFrom = "FWeakObjectPtr.Get()";
    LoadPlugin();
    EXPECT_THAT(Texts("log"), ElementsAre("Failed to load TameWarden! \n stopped at the start-up "
                                          "sweep: unknown error; load the plugin again"));
    EXPECT_FALSE(ConsoleCommandRegistered());
}

// The game mode knows ids without a world; only the walk of online players needs one.
TEST_F(ContainmentTest, MemberIdsComeFromTheGameModeEvenWithoutACurrentWorld) {
    host.world->AddPlayer({.id = 41, .eosId = u"known-41", .knownToGameMode = true});
    host.world->AddPlayer({.id = 42, .eosId = u"online-42", .online = true});
    host.world->AddTribe({.id = Tribe, .memberNames = {u"Ann", u"Bob"}, .memberIds = {41, 42}});
    LoadPlugin();
    host.world->SpawnDino({.key = "rex", .team = Tribe, .level = 20});
    host.currentWorldMissing = true;
    TickFor(std::chrono::milliseconds(1300));
    EXPECT_THAT(Texts("log"), ElementsAre("Destroyed dino(Dodo) level 20 from tribe 1000050001 at "
                                          "X=0.000 Y=0.000 Z=0.000\nMembers: Ann - EOS id: "
                                          "known-41\nBob - EOS id: "));
}

}  // namespace

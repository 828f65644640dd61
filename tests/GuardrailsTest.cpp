// The guardrails against a configuration that wipes a server, through the loaded plugin: the
// destroy brake and its release, the reload that refuses a file which would stop every check, the
// load that a good reload finishes, and tmwd.recheck.
#include <gmock/gmock.h>

#include <chrono>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

class GuardrailsTest : public PluginFixture {
protected:
    // The creatures' checks come due on the game clock, which the stand-in skips ahead.
    void TicksAfterTheDelay() {
        host.clockAdvance += std::chrono::milliseconds(1100);
        for (int tick = 0; tick < 3; ++tick) host.commands.RunUpdateCallbacks(0.01f);
    }
    std::string Rcon(const std::string& command) {
        const size_t before = Texts("reply").size();
        EXPECT_TRUE(host.commands.ExecuteRcon(command, nullptr, 7));
        const auto replies = Texts("reply");
        return replies.size() > before ? replies.back() : std::string();
    }
    std::vector<std::string> Critical() const {
        std::vector<std::string> lines;
        for (const auto& log : Events("log"))
            if (log.at("level") == "critical") lines.push_back(log.at("text"));
        return lines;
    }
    static standin::DinoSpec Big(const std::string& key) { return {.key = key, .level = 200}; }
};

constexpr const char* HowToGoOn =
    "; no creature is destroyed until an operator runs tmwd.release, which checks the held "
    "creatures again with the config in force (if the config is at fault, correct it and run "
    "tmwd.reload first)";

TEST_F(GuardrailsTest, BrakeHoldsASweepPastItsLimitAndABurstPastItUntilReleased) {
    standin::World& world = MakeWorld();
    for (const char* key : {"a", "b", "c"}) world.AddDino(Big(key));
    WriteConfig(R"({"DestroyDinosOverLevel": 100, "DestroyBrakeLimit": 2,
                    "DestroyBrakeMinutes": 10})");
    LoadPlugin();
    // The sweep would destroy three: it destroys none, says so once in the log and once in the
    // chat.
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    const std::string sweepHeld =
        "the start-up sweep would destroy 3 creature(s) by over-level 3, with 0 destroyed in this "
        "span; the limit is 2 in 10 minute(s), so it destroys none of them" +
        std::string(HowToGoOn);
    EXPECT_THAT(Critical(), ElementsAre("Destroy brake engaged! \n " + sweepHeld));
    EXPECT_THAT(PostedMessages(), ElementsAre("# TameWarden destroy brake engaged: " + sweepHeld));
    EXPECT_THAT(Rcon("tmwd.status"), HasSubstr("\ndestroy brake: holds 3 creature(s) since "));

    EXPECT_EQ(Rcon("tmwd.release"),
              "TameWarden: Released the destroy brake: checked 3 held creature(s) again, "
              "destroyed 3");
    EXPECT_THAT(DestroyedKeys(), ElementsAre("a", "b", "c"));
    EXPECT_THAT(Rcon("tmwd.status"),
                HasSubstr("\ndestroy brake: at most 2 in 10 minute(s), 0 in this span\n"));

    // A burst: two within the limit, then the brake holds, also for a creature after the span.
    host.events.Clear();
    for (const char* key : {"d", "e", "f"}) world.SpawnDino(Big(key));
    TicksAfterTheDelay();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("d", "e"));
    EXPECT_THAT(Critical(), ElementsAre("Destroy brake engaged! \n 2 creature(s) destroyed in 0 "
                                        "second(s) by over-level 2; the limit is 2 in 10 "
                                        "minute(s)" +
                                        std::string(HowToGoOn)));
    host.clockAdvance += std::chrono::minutes(11);
    world.SpawnDino(Big("g"));
    TicksAfterTheDelay();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("d", "e"));
    EXPECT_THAT(world.DinoKeys(), ElementsAre("f", "g"));
    EXPECT_EQ(Rcon("tmwd.release"),
              "TameWarden: Released the destroy brake: checked 2 held creature(s) again, "
              "destroyed 2");
    // A new span after the release: two more go, the third is held again.
    for (const char* key : {"h", "i", "j"}) world.SpawnDino(Big(key));
    TicksAfterTheDelay();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("d", "e", "f", "g", "h", "i"));
    EXPECT_EQ(Rcon("tmwd.release"),
              "TameWarden: Released the destroy brake: checked 1 held creature(s) again, "
              "destroyed 1");
    EXPECT_EQ(Rcon("tmwd.release"), "TameWarden: The destroy brake holds nothing");
}

TEST_F(GuardrailsTest, ReloadWithAWrongTypedKeyFailsAndKeepsTheConfigInForce) {
    MakeWorld().AddDino(Big("rex"));
    WriteConfig(R"({"DestroyDinosOverLevel": 300})");
    LoadPlugin();
    WriteConfig(R"({"DestroyDinosOverLevel": "451"})");
    EXPECT_EQ(Rcon("tmwd.reload"), "TameWarden: Failed to reload config");
    EXPECT_THAT(Critical(), ElementsAre("Failed to reload config! \n key \"DestroyDinosOverLevel\" "
                                        "in " +
                                        ConfigPathText() +
                                        ": found \"451\" (string), expected a number (read as a "
                                        "32-bit integer) ([json.exception.type_error.302] type "
                                        "must be number, but is string)"));
    EXPECT_THAT(Rcon("tmwd.status"), HasSubstr("\nover-level: destroy at level >= 300\n"));
    host.world->SpawnDino({.key = "giga", .level = 400});
    TicksAfterTheDelay();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("giga"));  // checks go on with the config in force
}

// The config stops the load before the hook; a good reload runs the hook, the sweep and the rest.
TEST_F(GuardrailsTest, LoadStoppedByItsConfigIsFinishedByAGoodReloadInTheLoadsOrder) {
    MakeWorld().AddDino(Big("rex"));
    WriteConfig(R"({"DestroyDinosOverLevel": )");
    LoadPlugin();
    EXPECT_FALSE(BeginPlayHooked());
    EXPECT_TRUE(ConsoleCommandRegistered() && RconCommandRegistered());
    EXPECT_THAT(
        Rcon("tmwd.status"),
        HasSubstr("\nthe load waits for a good config: fix the file and run tmwd.reload\n"));
    WriteConfig(R"({"DestroyDinosOverLevel": 100})");
    host.events.Clear();
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    EXPECT_THAT(
        Sequence({"hookInstalled", "destroyed", "consoleCommandRegistered", "rconCommandRegistered",
                  "reply"}),
        ElementsAre("hookInstalled APrimalDinoCharacter.BeginPlay()", "destroyed rex",
                    "consoleCommandRegistered tmwd.release", "rconCommandRegistered tmwd.release",
                    "consoleCommandRegistered tmwd.recheck", "rconCommandRegistered tmwd.recheck",
                    "reply"));
    EXPECT_THAT(Texts("reply"), ElementsAre("TameWarden: Reloaded config"));
    const std::string status = Rcon("tmwd.status");
    EXPECT_THAT(status, ::testing::Not(HasSubstr("load stopped")));
    EXPECT_THAT(status, HasSubstr("\nchecked 1 at load, 0 after BeginPlay; destroyed 1"));
}

TEST_F(GuardrailsTest, RecheckAppliesTheConfigInForceToTheWorldThroughTheBrake) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "small", .team = 500, .level = 20, .levelUpPoints = CoherentPoints(20)});
    for (const char* key : {"a", "b", "c"}) world.AddDino(Big(key));
    WriteConfig(R"({"DestroyDinosOverLevel": -1})");
    LoadPlugin();
    WriteConfig(R"({"DestroyDinosOverLevel": 150, "EnableLevelWarning": true,
                    "LevelWarningThreshold": 10})");
    EXPECT_EQ(Rcon("tmwd.reload"), "TameWarden: Reloaded config");
    EXPECT_THAT(DestroyedKeys(), IsEmpty());  // a reload applies to the checks after it
    EXPECT_EQ(Rcon("tmwd.recheck"), "TameWarden: Rechecked 4 creature(s): destroyed 3, reported 4");
    EXPECT_THAT(world.DinoKeys(), ElementsAre("small"));

    world.AddDino(Big("d"));
    world.AddDino(Big("e"));
    WriteConfig(R"({"DestroyDinosOverLevel": 150, "DestroyBrakeLimit": 1})");
    EXPECT_EQ(Rcon("tmwd.reload"), "TameWarden: Reloaded config");
    EXPECT_EQ(Rcon("tmwd.recheck"),
              "TameWarden: Rechecked 3 creature(s): destroyed 0, reported 0, the destroy brake "
              "holds 2");
    EXPECT_THAT(world.DinoKeys(), ElementsAre("small", "d", "e"));
}

}  // namespace

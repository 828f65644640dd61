// The level rules, the exemptions and the start-up sweep, through the loaded plugin: exact posted
// messages, log records, and which creatures remain.
#include <gmock/gmock.h>

#include "host/GameFacts.h"
#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class AuditTest : public PluginFixture {
protected:
    // Loads the plugin over the world built so far, so the sweep checks every creature.
    void Sweep(const nlohmann::json& config) {
        WriteConfigJson(config);
        LoadPlugin();
    }
    std::vector<std::string> Remaining() const { return host.world->DinoKeys(); }
    std::vector<std::string> Effects() const { return Sequence({"log", "post", "destroyed"}); }
};

TEST_F(AuditTest, OverLevelDestroysAtThresholdWithLogThenPostThenDestruction) {
    standin::World& world = MakeWorld();
    world.AddDino(
        {.key = "at", .name = u"Rex", .team = 7, .level = 1000, .location = {1520, -33.25, 0.125}});
    world.AddDino({.key = "below", .level = 999, .levelUpPoints = CoherentPoints(999)});
    Sweep(nlohmann::json::object());
    EXPECT_THAT(Effects(), ElementsAre("log", "post", "destroyed at"));
    EXPECT_THAT(Remaining(), ElementsAre("below"));
    EXPECT_THAT(Texts("log"), ElementsAre("Destroyed dino(Rex) level 1000 from tribe 7 at "
                                          "X=1520.000 Y=-33.250 Z=0.125\nMembers:  - EOS Id: "));
    EXPECT_EQ(Events("log")[0].at("level"), "warning");
    EXPECT_THAT(PostBodies(),
                ElementsAre("{\"content\":\"# Destroyed dino(Rex) level 1000 from tribe 7 at "
                            "X=1520.000 Y=-33.250 Z=0.125\\nMembers: ``` - EOS Id: ```\"}"));
    EXPECT_EQ(Events("post")[0].at("url"), "");
}

TEST_F(AuditTest, OverLevelMinusOneSwitchesTheRuleOffAndMinusTwoDestroysEverything) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "huge", .level = 100000});
    Sweep({{"DestroyDinosOverLevel", -1}});
    EXPECT_THAT(Remaining(), ElementsAre("huge"));
    UnloadPlugin();

    world.AddDino({.key = "tiny", .level = 0});
    Sweep({{"DestroyDinosOverLevel", -2}});
    EXPECT_THAT(DestroyedKeys(), ElementsAre("huge", "tiny"));
}

TEST_F(AuditTest, OverLevelWinsOverTheWarningAndPostsToTheConfiguredUrl) {
    MakeWorld().AddDino({.key = "both", .name = u"Giga", .team = 50000, .level = 700});
    Sweep({{"DestroyDinosOverLevel", 600},
           {"EnableLevelWarning", true},
           {"LevelWarningThreshold", 500},
           {"LevelWarningWebhook", "http://127.0.0.1:9/hook"}});
    EXPECT_THAT(DestroyedKeys(), ElementsAre("both"));
    ASSERT_EQ(PostedMessages().size(), 1u);
    EXPECT_THAT(PostedMessages()[0],
                ::testing::StartsWith("# Destroyed dino(Giga) level 700 from tribe 50000"));
    EXPECT_EQ(Events("post")[0].at("url"), "http://127.0.0.1:9/hook");
}

TEST_F(AuditTest, WarningAtThresholdTellsWildFromTribeAtTeam50000) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "wild", .name = u"Rex", .team = 50000, .level = 400});
    world.AddDino({.key = "tamed", .name = u"Rex", .team = 50001, .level = 450});
    world.AddDino({.key = "under", .team = 50001, .level = 399});
    Sweep({{"EnableLevelWarning", true}, {"MinDinoLevel", 1000}});
    EXPECT_THAT(
        PostedMessages(),
        ElementsAre("[**TheIsland_WP**] Detected **wild** dino(Rex) level 400 at "
                    "X=0.000 Y=0.000 Z=0.000",
                    "# [**TheIsland_WP**] Detected dino(Rex) level 450 from tribe 50001 at "
                    "X=0.000 Y=0.000 Z=0.000\nMembers: ``` - EOS Id: ```",
                    // below the warning, the minimum-level rule reports it
                    "# [**TheIsland_WP**] Detected dino(Dodo) level 399 from tribe 50001 at "
                    "X=0.000 Y=0.000 Z=0.000"));
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
}

TEST_F(AuditTest, MinimumLevelCountsEqualityAndDestroysBeforePostingWhenAsked) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "ten", .name = u"Dodo", .team = Tribe, .level = 10});
    world.AddDino({.key = "eleven", .level = 11, .levelUpPoints = {10}});
    Sweep({{"MinDinoLevel", 10.9}, {"AutoDestroyDinosBelowMinLevel", true}});
    EXPECT_THAT(Effects(), ElementsAre("destroyed ten", "log", "post"));
    EXPECT_THAT(PostedMessages(),
                ElementsAre("# [**TheIsland_WP**] DELETED dino(Dodo) level 10 from tribe "
                            "1000050001 at X=0.000 Y=0.000 Z=0.000\nMembers: ``````"));
    EXPECT_THAT(Remaining(), ElementsAre("eleven"));
}

TEST_F(AuditTest, ExemptCreaturesAreLeftAloneWhateverTheirLevel) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "mission", .level = 5000, .mission = true});
    world.AddDino({.key = "boss", .level = 5000, .boss = true});
    world.AddDino({.key = "team6", .team = 6, .level = 5000});
    world.AddDino({.key = "team10", .team = 10, .level = 5000});
    world.AddDino({.key = "exo", .name = u"EXO-Mek", .level = 5000});
    world.AddDino({.key = "skiff", .name = u"Tek skiff", .level = 5000});
    world.AddDino({.key = "raft", .name = u"Raft", .level = 5000});
    world.AddDino({.key = "boat", .name = u"MotorBOAT", .level = 5000});
    world.AddDino({.key = "bee", .name = u"Giant Bee", .level = 5000});
    world.AddDino({.key = "titan", .name = u"ForestTitan", .level = 5000});
    world.AddDino({.key = "listed", .name = u"Zoë the Rex", .level = 5000});
    Sweep({{"WhitelistedDinos", {"Zoë the Rex"}}});
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_THAT(Events("log"), IsEmpty());
}

TEST_F(AuditTest, WhitelistMatchesOnlyExactBytes) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "case", .name = u"Rex", .level = 5000});
    world.AddDino({.key = "part", .name = u"Alpha Rex", .level = 5000});
    world.AddDino({.key = "exact", .name = u"Zoë", .level = 5000});
    Sweep({{"WhitelistedDinos", {"rex", "Rex ", "Zoë"}}});
    EXPECT_THAT(DestroyedKeys(), ElementsAre("case", "part"));
}

TEST_F(AuditTest, NonAsciiNamesAreQuestionMarksInMessagesAndQuotesAreEscaped) {
    MakeWorld().AddDino({.key = "odd", .name = u"Zoë \"𝒳\"", .team = 3, .level = 2000});
    Sweep(nlohmann::json::object());
    EXPECT_THAT(PostBodies()[0], ::testing::StartsWith(
                                     "{\"content\":\"# Destroyed dino(Zo? \\\"??\\\") level 2000"));
    EXPECT_THAT(Texts("log")[0], ::testing::StartsWith("Destroyed dino(Zo? \"??\") level 2000"));
}

TEST_F(AuditTest, CreatureWithoutStatusComponentIsSkippedSilently) {
    MakeWorld().AddDino({.key = "ghost", .statusComponent = false});
    Sweep({{"DestroyDinosOverLevel", -2}});
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(Events("post"), IsEmpty());
}

TEST_F(AuditTest, SweepSkipsNullEntriesAndOtherActorsAndKeepsEngineOrder) {
    standin::World& world = MakeWorld();
    world.unfilteredActorQueries = true;
    world.AddDino({.key = "first", .level = 2000});
    world.AddOtherActor("rock");
    world.AddDino({.key = "second", .level = 3000});
    Sweep(nlohmann::json::object());
    EXPECT_THAT(DestroyedKeys(), ElementsAre("first", "second"));
    ASSERT_TRUE(world.Actors().size() == 1u && world.Actors()[0]->Key == "rock");
    EXPECT_TRUE(ConsoleCommandRegistered());
}

TEST_F(AuditTest, WrongTypedKeyStopsTheSweepAtThatCreatureAndKeepsWhatWasDone) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "big", .level = 5000});
    world.AddDino({.key = "small", .level = 5});
    world.AddDino({.key = "bigAfter", .level = 5000});
    Sweep({{"MinDinoLevel", "ten"}});
    EXPECT_THAT(DestroyedKeys(), ElementsAre("big"));
    EXPECT_THAT(Remaining(), ElementsAre("small", "bigAfter"));
    EXPECT_TRUE(BeginPlayHooked());
    EXPECT_TRUE(ConsoleCommandRegistered());  // the config stopped the load: a reload finishes it
    EXPECT_TRUE(RconCommandRegistered());
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 2u);  // the destroy line, then the contained error
    EXPECT_EQ(logs[1].at("level"), "critical");
    EXPECT_EQ(logs[1].at("text"),
              SweepStoppedAt("MinDinoLevel",
                             "[json.exception.type_error.302] type must be number, "
                             "but is string"));
}

TEST_F(AuditTest, WarningFlagGivenAsNumberFailsAtItsRead) {
    MakeWorld().AddDino({.key = "rex", .level = 500});
    Sweep({{"EnableLevelWarning", 1}});
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_EQ(Texts("log").back(), SweepStoppedAt("EnableLevelWarning",
                                                  "[json.exception.type_error.302] type must be "
                                                  "boolean, but is number"));
}

TEST_F(AuditTest, TopLevelArrayStopsEveryCheckAtTheWhitelistRead) {
    MakeWorld().AddDino({.key = "rex", .level = 5000});
    Sweep(nlohmann::json::array({1, 2}));
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_EQ(Texts("log").back(),
              SweepStoppedAt("WhitelistedDinos",
                             "[json.exception.type_error.306] cannot use value() with array"));
}

TEST_F(AuditTest, WebhookKeyOfWrongTypeStopsTheOverLevelRuleBeforeItClaimsAnything) {
    MakeWorld().AddDino({.key = "rex", .level = 5000});
    Sweep({{"LevelWarningWebhook", 5}});
    EXPECT_THAT(Remaining(), ElementsAre("rex"));
    EXPECT_THAT(Events("post"), IsEmpty());
    // No "Destroyed" line for a creature that stays: only the contained error.
    EXPECT_THAT(Texts("log"), ElementsAre(SweepStoppedAt("LevelWarningWebhook",
                                                         "[json.exception.type_error.302] "
                                                         "type must be string, but is "
                                                         "number")));
}

TEST_F(AuditTest, WebhookKeyOfWrongTypeStillLeavesADestroyedBelowMinimumCreatureGone) {
    MakeWorld().AddDino({.key = "small", .level = 3});
    Sweep({{"MinDinoLevel", 5},
           {"AutoDestroyDinosBelowMinLevel", true},
           {"LevelWarningWebhook", nullptr}});
    EXPECT_THAT(DestroyedKeys(), ElementsAre("small"));
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_THAT(Texts("log"),
                ElementsAre("Destroyed dino(Dodo) level 3 team 0 (below-minimum), journal seq 1",
                            SweepStoppedAt("LevelWarningWebhook",
                                           "[json.exception.type_error.302] type must be string, "
                                           "but is null")));
}

}  // namespace

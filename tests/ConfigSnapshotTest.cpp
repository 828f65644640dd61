// The configuration read once into typed settings: each key still fails at the moment a check
// reads it, with the library's text, and only then; a reload applies from the next check; the
// texts only reports need are made only for creatures a rule reports.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "host/GameFacts.h"
#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ConfigSnapshotTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        standin::World& world = MakeWorld();
        // A tribe member online but unknown to the game mode: a member line teaches it the id.
        world.AddPlayer({.id = 31, .eosId = u"eos-31", .online = true});
        world.AddTribe({.id = Tribe, .memberNames = {u"Ann"}, .memberIds = {31}});
        host.recordResolutions = true;
    }
    void AddTribeCreature(const std::string& key, int32_t level) {
        host.world->AddDino(
            {.key = key, .team = Tribe, .level = level, .levelUpPoints = CoherentPoints(level)});
    }
    bool GameModeLearnt() const { return host.world->GameMode()->EosIdsByPlayerId.contains(31); }
    std::string LoadFailure() const {
        const auto logs = Texts("log");
        return logs.empty() ? "" : logs.back();
    }
    void TickUntil(const std::function<bool()>& done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done() && std::chrono::steady_clock::now() < end) {
            host.commands.RunUpdateCallbacks(0);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};

TEST_F(ConfigSnapshotTest, WhitelistOfTheWrongTypeFailsBeforeTheCreatureIsLookedAt) {
    AddTribeCreature("rex", 5000);
    WriteConfig(R"({"WhitelistedDinos": {"Rex": true}})");
    LoadPlugin();
    EXPECT_EQ(LoadFailure(), SweepStoppedAt("WhitelistedDinos",
                                            "[json.exception.type_error.302] type must be "
                                            "array, but is object"));
    EXPECT_THAT(Events("resolved"), IsEmpty());
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
}

TEST_F(ConfigSnapshotTest, LevelKeyOfTheWrongTypeFailsAtItsReadWithoutGatheringReportTexts) {
    AddTribeCreature("rex", 5000);
    WriteConfig(R"({"DestroyDinosOverLevel": "1000"})");
    LoadPlugin();
    EXPECT_EQ(LoadFailure(), SweepStoppedAt("DestroyDinosOverLevel",
                                            "[json.exception.type_error.302] type must "
                                            "be number, but is string"));
    EXPECT_EQ(Events("resolved").size(), 1u);
    EXPECT_TRUE(GameModeLearnt());  // the owner lookups come before any rule reads its key
    EXPECT_THAT(Events("post"), IsEmpty());
}

TEST_F(ConfigSnapshotTest, TopLevelThatIsNotAnObjectFailsEveryCheckAtTheFirstRead) {
    AddTribeCreature("rex", 5000);
    WriteConfig("[1, 2]");
    LoadPlugin();
    EXPECT_EQ(LoadFailure(),
              SweepStoppedAt("WhitelistedDinos",
                             "[json.exception.type_error.306] cannot use value() with array"));
}

TEST_F(ConfigSnapshotTest, KeysNoCheckReachesNeverFailIt) {
    AddTribeCreature("quiet", 50);
    // Read only when the warning is on, when a creature is at the minimum, when one is
    // incoherent, and when the limits are on: none of which this creature meets.
    WriteConfigJson({{"LevelWarningThreshold", "high"},
                     {"AutoDestroyDinosBelowMinLevel", 1},
                     {"DestroyIncoherentDinos", "no"},
                     {"StatValueLimits", "Health"},
                     {"MinDinoLevel", 10}});
    LoadPlugin();
    EXPECT_TRUE(ConsoleCommandRegistered());
    EXPECT_THAT(Events("log"), IsEmpty());
    EXPECT_TRUE(GameModeLearnt());  // unreported, yet its owner lookups ran
}

TEST_F(ConfigSnapshotTest, LimitAfterOneThatIsReachedIsNeverReadSoItsWrongTypeDoesNotFail) {
    std::array<float, 12> strong{};
    strong[0] = 9000;
    host.world->AddDino({.key = "strong", .level = 1, .currentStatus = strong});
    WriteConfigJson({{"DestroyDinosOverStatValue", true},
                     {"StatValueLimits", {{"Health", 5000}, {"Weight", "heavy"}}}});
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("strong"));
    EXPECT_TRUE(ConsoleCommandRegistered());
}

TEST_F(ConfigSnapshotTest, ReportedCreatureGetsItsMemberTextsOnceAndTheGameModeLearnsTheId) {
    AddTribeCreature("rex", 5000);
    WriteConfig("{}");
    LoadPlugin();
    ASSERT_EQ(PostedMessages().size(), 1u);
    EXPECT_THAT(PostedMessages()[0], ::testing::EndsWith("Members: ```Ann - EOS id: eos-31```"));
    EXPECT_THAT(Texts("log"), ElementsAre(::testing::EndsWith("Members: Ann - EOS id: eos-31")));
    EXPECT_TRUE(GameModeLearnt());
}

TEST_F(ConfigSnapshotTest, ReloadBetweenTwoChecksAppliesToTheSecondAndToQueuedChecks) {
    WriteConfig(R"({"DestroyDinosOverLevel": 1000})");
    LoadPlugin();
    host.world->SpawnDino({.key = "before", .level = 500, .levelUpPoints = CoherentPoints(500)});
    TickUntil([&] { return Events("resolved").size() == 1; });
    ASSERT_EQ(Events("resolved").size(), 1u);
    EXPECT_THAT(DestroyedKeys(), IsEmpty());

    host.world->SpawnDino({.key = "queued", .level = 500, .levelUpPoints = CoherentPoints(500)});
    WriteConfig(R"({"DestroyDinosOverLevel": 100})");
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    TickUntil([&] { return !DestroyedKeys().empty(); });
    EXPECT_THAT(DestroyedKeys(), ElementsAre("queued"));
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("before"));
}

TEST_F(ConfigSnapshotTest, FailedReloadKeepsEverySettingOfTheConfigInForce) {
    WriteConfig(R"({"DestroyDinosOverLevel": 100, "WhitelistedDinos": ["Keep"]})");
    LoadPlugin();
    WriteConfig(R"({"DestroyDinosOverLevel": 5000, "WhitelistedDinos": [)");
    host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
    host.world->SpawnDino({.key = "kept", .name = u"Keep", .level = 500});
    host.world->SpawnDino({.key = "gone", .level = 500});
    TickUntil([&] { return !DestroyedKeys().empty(); });
    EXPECT_THAT(DestroyedKeys(), ElementsAre("gone"));
}

}  // namespace

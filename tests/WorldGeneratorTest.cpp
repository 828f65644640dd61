// The generated large world: its mix of creatures, teams and players, its determinism, that the
// audit leaves it alone by default, and that its world file loads in the stand-in server.
#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "standin/WorldFile.h"
#include "standin/WorldGenerator.h"
#include "tests/PluginFixture.h"

using ::testing::IsEmpty;

namespace {

constexpr size_t Creatures = 2000;
int32_t CountedPoints(const standin::DinoSpec& creature) {
    int32_t sum = 0;
    for (size_t stat = 0; stat < Game::Stats.size(); ++stat)
        if (Game::Stats[stat].countsTowardLevel)
            sum += creature.levelUpPoints[stat] + creature.levelUpPointsTamed[stat] +
                   creature.mutationsTamed[stat];
    return sum;
}

TEST(WorldGeneratorTest, SeventyPercentWildAndThirtyPercentOwnedByTribesOfOneToTenMembers) {
    const standin::WorldDescription world = standin::GenerateWorld(Creatures);
    ASSERT_EQ(world.creatures.size(), Creatures);
    std::set<int32_t> tribeIds;
    for (const auto& tribe : world.tribes) {
        EXPECT_GT(tribe.id, 1000050000);
        EXPECT_GE(tribe.memberNames.size(), 1u);
        EXPECT_LE(tribe.memberNames.size(), 10u);
        EXPECT_EQ(tribe.memberIds.size(), tribe.memberNames.size());
        tribeIds.insert(tribe.id);
    }
    EXPECT_EQ(world.tribes.front().memberNames.size(), 10u);
    size_t wild = 0, owned = 0;
    for (const auto& [creature, beginPlayAt, destroyAt] : world.creatures) {
        if (creature.team <= 50000) {
            ++wild;
            EXPECT_GT(creature.team, 10) << creature.key;  // 6 and 10 would be exempt
        } else {
            ++owned;
            EXPECT_TRUE(tribeIds.contains(creature.team)) << creature.key;
        }
    }
    EXPECT_EQ(wild, Creatures * 7 / 10);
    EXPECT_EQ(owned, Creatures * 3 / 10);
}

TEST(WorldGeneratorTest, AHundredPlayersOnlineHalfOfThemKnownToTheGameMode) {
    const standin::WorldDescription world = standin::GenerateWorld(100000);
    const auto online = std::count_if(world.players.begin(), world.players.end(),
                                      [](const auto& player) { return player.online; });
    const auto onlineKnown =
        std::count_if(world.players.begin(), world.players.end(),
                      [](const auto& player) { return player.online && player.knownToGameMode; });
    EXPECT_EQ(online, 100);
    EXPECT_EQ(onlineKnown, 50);
    EXPECT_GT(world.players.size(), 1000u);
}

TEST(WorldGeneratorTest, EveryCreatureIsCoherentBelowLevelOneThousandAndNotExempt) {
    for (const auto& [creature, beginPlayAt, destroyAt] :
         standin::GenerateWorld(Creatures).creatures) {
        EXPECT_FALSE(beginPlayAt || destroyAt);  // every creature is there at load
        EXPECT_GE(creature.level, 1);
        EXPECT_LT(creature.level, 1000);
        EXPECT_EQ(CountedPoints(creature), creature.level - 1) << creature.key;
        EXPECT_FALSE(creature.boss || creature.mission || !creature.statusComponent);
    }
}

TEST(WorldGeneratorTest, SameSeedGivesTheSameWorldAndAnotherSeedAnotherWorld) {
    const auto first = standin::WorldFileDocument(standin::GenerateWorld(500, 7));
    EXPECT_EQ(first, standin::WorldFileDocument(standin::GenerateWorld(500, 7)));
    EXPECT_NE(first, standin::WorldFileDocument(standin::GenerateWorld(500, 8)));
}

class GeneratedWorldAuditTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        description = standin::GenerateWorld(Creatures);
        host.world = standin::BuildWorld(description);
    }
    standin::WorldDescription description;
};

TEST_F(GeneratedWorldAuditTest, SweepWithTheDefaultConfigurationActsOnNoCreature) {
    WriteConfig("{}");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_THAT(Events("log"), IsEmpty());
    EXPECT_EQ(host.world->DinoKeys().size(), Creatures);
}

TEST_F(GeneratedWorldAuditTest, SweepWithALowerLevelLimitDestroysExactlyTheCreaturesAtOrAboveIt) {
    std::vector<std::string> expected;
    for (const auto& creature : description.creatures)
        if (creature.details.level >= 300) expected.push_back(creature.details.key);
    ASSERT_FALSE(expected.empty());
    WriteConfigJson({{"DestroyDinosOverLevel", 300}});
    LoadPlugin();
    EXPECT_EQ(DestroyedKeys(), expected);
    EXPECT_EQ(Events("post").size(), expected.size());
}

TEST(WorldGeneratorFileTest, WrittenFileLoadsInTheServerWithEveryCreaturePlayerAndTribe) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tamewarden-worldgen-" + std::to_string(::getpid()) + ".json");
    const standin::WorldDescription world = standin::GenerateWorld(Creatures);
    standin::WriteWorldFile(world, path);
    const standin::WorldDescription loaded = standin::LoadWorldFile(path);
    std::filesystem::remove(path);
    EXPECT_EQ(loaded.mapName, world.mapName);
    ASSERT_EQ(loaded.creatures.size(), world.creatures.size());
    ASSERT_EQ(loaded.players.size(), world.players.size());
    ASSERT_EQ(loaded.tribes.size(), world.tribes.size());
    for (size_t i = 0; i < world.creatures.size(); ++i) {
        const auto& want = world.creatures[i].details;
        const auto& got = loaded.creatures[i].details;
        EXPECT_EQ(got.key, want.key);
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(got.team, want.team);
        EXPECT_EQ(got.level, want.level);
        EXPECT_EQ(got.levelUpPoints, want.levelUpPoints);
        EXPECT_EQ(got.levelUpPointsTamed, want.levelUpPointsTamed);
        EXPECT_EQ(got.mutationsTamed, want.mutationsTamed);
        EXPECT_EQ(got.currentStatus, want.currentStatus);
        EXPECT_EQ(got.location.X, want.location.X);
        EXPECT_FALSE(loaded.creatures[i].beginPlayAt.has_value());
    }
    for (size_t i = 0; i < world.players.size(); ++i) {
        EXPECT_EQ(loaded.players[i].eosId, world.players[i].eosId);
        EXPECT_EQ(loaded.players[i].online, world.players[i].online);
        EXPECT_EQ(loaded.players[i].knownToGameMode, world.players[i].knownToGameMode);
    }
    EXPECT_EQ(loaded.tribes.front().memberIds, world.tribes.front().memberIds);
}

TEST(WorldGeneratorFileTest, UnwritablePathRaisesAnErrorNamingIt) {
    EXPECT_THROW(standin::WriteWorldFile(standin::GenerateWorld(1), "/nonexistent-dir/w.json"),
                 std::runtime_error);
}

}  // namespace

// The world-file loader called directly: defaults of omitted fields, the values it keeps, the
// world it builds, and the message of each file it refuses.
#include <gmock/gmock.h>

#include "standin/Host.h"
#include "standin/Text.h"
#include "standin/WorldFile.h"

using standin::ParseWorldFile;
using standin::WorldFileError;
using ::testing::ElementsAre;

namespace {

std::string RefusalOf(const std::string& text) {
    try {
        ParseWorldFile(text, "w.json");
    } catch (const WorldFileError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(WorldFileTest, OmittedCreatureFieldsMakeALevelOneCoherentCreature) {
    const auto world = ParseWorldFile(R"({"creatures": [{"key": "plain"}]})", "w.json");
    ASSERT_EQ(world.creatures.size(), 1u);
    const auto& creature = world.creatures[0];
    EXPECT_EQ(creature.details.key, "plain");
    EXPECT_EQ(creature.details.level, 1);
    EXPECT_EQ(creature.details.team, 0);
    EXPECT_FALSE(creature.details.boss);
    EXPECT_FALSE(creature.details.mission);
    EXPECT_TRUE(creature.details.statusComponent);
    EXPECT_EQ(creature.details.levelUpPoints, (std::array<uint8_t, 12>{}));
    EXPECT_EQ(creature.details.currentStatus, (std::array<float, 12>{}));
    EXPECT_FALSE(creature.beginPlayAt);
    EXPECT_FALSE(creature.destroyAt);
    EXPECT_EQ(world.mapName, u"TheIsland_WP");
}

TEST(WorldFileTest, EveryFieldIsKept) {
    const auto world = ParseWorldFile(R"({
        "map": "Ragnarok_WP",
        "players": [{"id": 7, "eosId": "e7", "characterName": "Zoë", "online": true,
                     "knownToGameMode": true}],
        "tribes": [{"id": 1000050001, "memberNames": ["Ann", "Bob"], "memberIds": [7]}],
        "creatures": [{"key": "k", "name": "Rex", "team": 1000050001, "level": 150, "boss": true,
                       "mission": true, "location": [1.5, -2, 3], "statusComponent": false,
                       "levelUpPoints": [1,2,3,4,5,6,7,8,9,10,11,255],
                       "levelUpPointsTamed": [0,0,0,0,0,0,0,0,0,0,0,1],
                       "mutationsTamed": [2,0,0,0,0,0,0,0,0,0,0,0],
                       "currentStatus": [1000.5,0,0,0,0,0,0,0,0,0,0,-1],
                       "beginPlayAt": 1.25, "destroyAt": 4}]})",
                                      "w.json");
    EXPECT_EQ(world.mapName, u"Ragnarok_WP");
    ASSERT_EQ(world.players.size(), 1u);
    EXPECT_EQ(world.players[0].characterName, u"Zoë");
    EXPECT_TRUE(world.players[0].online && world.players[0].knownToGameMode);
    ASSERT_EQ(world.tribes.size(), 1u);
    EXPECT_THAT(world.tribes[0].memberIds, ElementsAre(7u));
    const auto& creature = world.creatures.at(0);
    EXPECT_EQ(creature.details.name, u"Rex");
    EXPECT_EQ(creature.details.team, 1000050001);
    EXPECT_TRUE(creature.details.boss && creature.details.mission);
    EXPECT_FALSE(creature.details.statusComponent);
    EXPECT_EQ(creature.details.location.X, 1.5);
    EXPECT_EQ(creature.details.location.Y, -2);
    EXPECT_EQ(creature.details.levelUpPoints[11], 255);
    EXPECT_EQ(creature.details.levelUpPointsTamed[11], 1);
    EXPECT_EQ(creature.details.mutationsTamed[0], 2);
    EXPECT_FLOAT_EQ(creature.details.currentStatus[0], 1000.5f);
    EXPECT_EQ(creature.beginPlayAt, 1.25);
    EXPECT_EQ(creature.destroyAt, 4.0);
}

TEST(WorldFileTest, RefusalsNameTheFileThePlaceAndTheReason) {
    EXPECT_EQ(RefusalOf("[]"), "world file w.json: top level: expected an object, got array");
    EXPECT_EQ(RefusalOf(R"({"map": 5})"), "world file w.json: map: expected a string, got number");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"name": "x"}]})"),
              "world file w.json: creatures[0].key: missing");
    EXPECT_EQ(
        RefusalOf(R"({"creatures": [{"key": "a", "levelUpPoints": [0,0,0,0,0,0,0,0,0,0,0,256]}]})"),
        "world file w.json: creatures[0].levelUpPoints[11]: expected an integer from 0 to "
        "255, got 256");
    EXPECT_EQ(
        RefusalOf(R"({"creatures": [{"key": "a", "currentStatus": [0,0,0,0,0,0,0,0,0,0,0,0,0]}]})"),
        "world file w.json: creatures[0].currentStatus: expected 12 values, got 13");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"key": "a", "location": [1, 2]}]})"),
              "world file w.json: creatures[0].location: expected 3 numbers, got 2");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"key": "a", "boss": 1}]})"),
              "world file w.json: creatures[0].boss: expected true or false, got number");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"key": "a"}, {"key": "a"}]})"),
              "world file w.json: creatures[1].key: duplicate key \"a\"");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"key": "a", "beginPlayAt": 2, "destroyAt": 1}]})"),
              "world file w.json: creatures[0].destroyAt: comes before beginPlayAt");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"key": "a", "beginPlayAt": -1}]})"),
              "world file w.json: creatures[0].beginPlayAt: expected seconds of 0 or more, got -1");
    EXPECT_EQ(RefusalOf(R"({"tribes": [{"id": 1, "memberIds": [-1]}]})"),
              "world file w.json: tribes[0].memberIds[0]: expected an integer from 0 to "
              "4294967295, got -1");
    EXPECT_EQ(RefusalOf(R"({"players": [{"id": 1, "name": "x"}]})"),
              "world file w.json: players[0].name: unknown key");
    EXPECT_EQ(RefusalOf(R"({"creatures": [{"key": "a", "team": 2147483648}]})"),
              "world file w.json: creatures[0].team: expected an integer from -2147483648 to "
              "2147483647, got 2147483648");
    EXPECT_EQ(RefusalOf("{\n\"map\": \"X\"\n"),
              "world file w.json: line 3, column 1: not valid JSON: syntax error while parsing "
              "object - unexpected end of input; expected '}'");
}

TEST(WorldFileTest, LoadingAMissingFileIsRefusedWithItsPath) {
    EXPECT_THROW(
        {
            try {
                standin::LoadWorldFile("/nonexistent/world.json");
            } catch (const WorldFileError& error) {
                EXPECT_STREQ(error.what(), "world file /nonexistent/world.json: cannot be opened");
                throw;
            }
        },
        WorldFileError);
}

TEST(WorldFileTest, BuiltWorldHoldsOnlyTheCreaturesPresentAtLoadInFileOrder) {
    standin::Host::Get().Reset();
    const auto file = ParseWorldFile(R"({
        "players": [{"id": 3, "eosId": "e3", "online": true},
                    {"id": 4, "eosId": "e4", "online": false, "knownToGameMode": true}],
        "tribes": [{"id": 1000050001, "memberNames": ["Ann"]}],
        "creatures": [{"key": "b"}, {"key": "later", "beginPlayAt": 1}, {"key": "a"}]})",
                                     "w.json");
    {
        const auto world = standin::BuildWorld(file);
        EXPECT_THAT(world->DinoKeys(), ElementsAre("b", "a"));
        ASSERT_EQ(world->OnlinePlayers().size(), 1u);
        EXPECT_EQ(standin::ToUtf8(world->OnlinePlayers()[0]->EosId), "e3");
        EXPECT_EQ(standin::ToUtf8(world->GameMode()->EosIdsByPlayerId.at(4)), "e4");
        ASSERT_NE(world->FindTribe(1000050001), nullptr);
    }
    standin::Host::Get().Reset();
}

}  // namespace

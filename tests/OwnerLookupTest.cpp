// What the game mode learns from a check: every checked creature's owner lookups run, reported or
// not, so an id seen once stays in later reports; a check with no online owner teaches nothing.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

constexpr int32_t TribeId = 1000050007;

class OwnerLookupTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
    }
    std::vector<std::string> LearnedIds() const {
        std::vector<std::string> learned;
        for (const auto& event : Events("playerIdLearned"))
            learned.push_back(std::to_string(event.at("playerId").get<int32_t>()) + " " +
                              event.at("eosId").get<std::string>());
        return learned;
    }
};

TEST_F(OwnerLookupTest, MemberSeenOnlineAtAnUntouchedCheckKeepsItsIdInALaterReport) {
    host.world->AddPlayer({.id = 31, .eosId = u"eos-mia", .online = true});
    host.world->AddPlayer({.id = 32, .eosId = u"eos-ole", .knownToGameMode = true});
    host.world->AddTribe({.id = TribeId, .memberNames = {u"Mia", u"Ole"}, .memberIds = {31, 32}});
    host.world->AddDino({.key = "a", .name = u"Dodo", .team = TribeId, .level = 1});
    WriteConfigJson({{"DestroyDinosOverLevel", 100}});
    LoadPlugin();
    EXPECT_TRUE(PostedMessages().empty());
    EXPECT_THAT(LearnedIds(), ElementsAre("31 eos-mia"));

    host.world->LogOff(31);
    host.world->SpawnDino({.key = "b", .name = u"Rex", .team = TribeId, .level = 150});
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (DestroyedKeys().empty() && std::chrono::steady_clock::now() < end) {
        host.commands.RunUpdateCallbacks(0.01f);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_THAT(DestroyedKeys(), ElementsAre("b"));
    ASSERT_EQ(PostedMessages().size(), 1u);
    EXPECT_THAT(PostedMessages()[0],
                HasSubstr("```Mia - EOS id: eos-mia\nOle - EOS id: eos-ole```"));
    EXPECT_THAT(LearnedIds(), ElementsAre("31 eos-mia"));  // taught once, never again
}

TEST_F(OwnerLookupTest, SingleOnlineOwnerOfAnUntouchedCreatureTeachesItsId) {
    host.world->AddPlayer({.id = 41, .eosId = u"eos-kim", .online = true});
    host.world->AddDino({.key = "pet", .team = 41, .level = 1});
    WriteConfig("{}");
    LoadPlugin();
    EXPECT_THAT(Sequence({"playerIdLearned", "post", "destroyed"}), ElementsAre("playerIdLearned"));
    EXPECT_THAT(LearnedIds(), ElementsAre("41 eos-kim"));
}

TEST_F(OwnerLookupTest, UntouchedCreaturesWithoutAnOnlineOwnerChangeNothingInTheGameMode) {
    host.world->AddPlayer({.id = 51, .eosId = u"eos-off", .knownToGameMode = true});
    host.world->AddPlayer({.id = 52, .eosId = u"eos-unknown"});
    host.world->AddPlayer({.id = 53, .eosId = u"eos-on", .online = true});
    host.world->AddTribe(
        {.id = TribeId, .memberNames = {u"Off", u"Unknown"}, .memberIds = {51, 52}});
    host.world->AddDino({.key = "tribe", .team = TribeId, .level = 1});
    host.world->AddDino({.key = "wild", .team = 2000, .level = 1});
    host.world->AddDino({.key = "solo", .team = 52, .level = 1});
    const auto knownBefore = host.world->GameMode()->EosIdsByPlayerId;
    WriteConfig("{}");
    LoadPlugin();
    EXPECT_THAT(Events("playerIdLearned"), IsEmpty());
    EXPECT_EQ(host.world->GameMode()->EosIdsByPlayerId, knownBefore);
}

}  // namespace

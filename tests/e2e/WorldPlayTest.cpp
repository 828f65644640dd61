// The world file's timeline against the plugin's deferred check: a creature that begins play is
// checked about one second later and not before; one removed before its check goes unreported.
#include <gmock/gmock.h>

#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

using ::testing::ElementsAre;

namespace {

const nlohmann::json* Find(const std::vector<nlohmann::json>& events, const std::string& type,
                           const std::string& creature) {
    for (const auto& event : events)
        if (event.value("type", "") == type && event.value("creature", "") == creature)
            return &event;
    return nullptr;
}

std::vector<std::string> Arguments(const ServerFolder& folder, const std::string& seconds,
                                   const std::string& tickRate = "30") {
    std::vector<std::string> arguments = folder.Arguments();
    arguments.insert(arguments.end(), {"--seconds", seconds, "--tick-rate", tickRate});
    return arguments;
}

TEST(WorldPlayTest, CreatureThatBeginsPlayIsDestroyedAboutOneSecondLaterAndNotBefore) {
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld(
        {{"creatures",
          {{{"key", "early"},
            {"level", 10},
            {"levelUpPoints", {9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}}},
           {{"key", "late-rex"}, {"name", "Rex"}, {"level", 900}, {"beginPlayAt", 0.5}}}}});
    ServerProcess server(Arguments(folder, "3"));
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(20)), 0) << server.Output();

    const auto events = folder.Events();
    const auto* began = Find(events, "beginPlay", "late-rex");
    const auto* destroyed = Find(events, "destroyed", "late-rex");
    ASSERT_NE(began, nullptr);
    ASSERT_NE(destroyed, nullptr);
    const double beganAt = began->at("t"), destroyedAt = destroyed->at("t");
    EXPECT_GE(beganAt, 0.5);
    EXPECT_LT(beganAt, 1.5);
    // The check is due one second after BeginPlay and runs at the first tick from then on.
    EXPECT_GE(destroyedAt - beganAt, 0.999);
    EXPECT_LE(destroyedAt - beganAt, 1.0 + 1.0);
    EXPECT_THAT(Creatures(events, "destroyed"), ElementsAre("late-rex"));
    EXPECT_EQ(folder.Events("post").size(), 1u);
}

TEST(WorldPlayTest, SlowTickRateDelaysTheCheckToTheNextTickOnly) {
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld(
        {{"creatures", {{{"key", "late-rex"}, {"level", 900}, {"beginPlayAt", 0.2}}}}});
    ServerProcess server(Arguments(folder, "2.5", "4"));
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(20)), 0) << server.Output();

    const auto events = folder.Events();
    const auto* began = Find(events, "beginPlay", "late-rex");
    const auto* destroyed = Find(events, "destroyed", "late-rex");
    ASSERT_NE(began, nullptr);
    ASSERT_NE(destroyed, nullptr);
    const double delay = destroyed->at("t").get<double>() - began->at("t").get<double>();
    EXPECT_GE(delay, 0.999);
    EXPECT_LE(delay, 1.0 + 0.25 + 0.75);  // at most one tick of 0.25 s late, plus a loaded machine
}

TEST(WorldPlayTest, CreatureRemovedBeforeItsCheckIsNeitherDestroyedByThePluginNorReported) {
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld(
        {{"creatures",
          {{{"key", "brief"}, {"level", 900}, {"beginPlayAt", 0.2}, {"destroyAt", 0.6}}}}});
    ServerProcess server(Arguments(folder, "2"));
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(20)), 0) << server.Output();

    const auto events = folder.Events();
    EXPECT_THAT(Creatures(events, "beginPlay"), ElementsAre("brief"));
    EXPECT_THAT(Creatures(events, "despawn"), ElementsAre("brief"));
    EXPECT_THAT(Creatures(events, "destroyed"), ElementsAre("brief"));
    EXPECT_TRUE(folder.Events("post").empty());
    EXPECT_THAT(server.Output(), ::testing::HasSubstr("Removed by the world:           1 (brief)"));
}

TEST(WorldPlayTest, CreaturesPresentAtLoadAreCheckedAtOnceInFileOrder) {
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld({{"creatures",
                        {{{"key", "b"}, {"level", 700}},
                         {{"key", "kept"}, {"level", 1}},
                         {{"key", "a"}, {"level", 800}},
                         {{"key", "boss"}, {"level", 800}, {"boss", true}}}}});
    ServerProcess server(Arguments(folder, "0.3"));
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(20)), 0) << server.Output();

    const auto events = folder.Events();
    EXPECT_THAT(Creatures(events, "destroyed"), ElementsAre("b", "a"));
    for (const auto& destroyed : folder.Events("destroyed"))
        EXPECT_LT(destroyed.at("t").get<double>(),
                  folder.Events("loaded").at(0).at("t").get<double>());
    EXPECT_THAT(server.Output(), ::testing::HasSubstr("Creatures in the world at load: 4"));
}

TEST(WorldPlayTest, IdLearnedFromAnOnlineMemberAtLoadIsInTheReportAfterTheMemberLoggedOff) {
    constexpr int32_t Tribe = 1000050009;
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld(
        {{"players", {{{"id", 31}, {"eosId", "eos-mia"}, {"online", true}, {"offlineAt", 0.2}}}},
         {"tribes", {{{"id", Tribe}, {"memberNames", {"Mia"}}, {"memberIds", {31}}}}},
         {"creatures",
          {{{"key", "calm"}, {"team", Tribe}, {"level", 1}},
           {{"key", "rex"}, {"team", Tribe}, {"level", 900}, {"beginPlayAt", 0.4}}}}});
    ServerProcess server(Arguments(folder, "4"));
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(20)), 0) << server.Output();

    std::vector<std::string> sequence;
    for (const auto& event : folder.Events()) {
        const std::string type = event.value("type", "");
        if (type == "playerIdLearned")
            sequence.push_back(type + " " + std::to_string(event.at("playerId").get<int>()) + " " +
                               event.at("eosId").get<std::string>());
        if (type == "loggedOff" || type == "destroyed") sequence.push_back(type);
    }
    EXPECT_THAT(sequence, ElementsAre("playerIdLearned 31 eos-mia", "loggedOff", "destroyed"));
    const auto posts = folder.Events("post");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_THAT(posts[0].at("body").get<std::string>(),
                ::testing::HasSubstr("Mia - EOS id: eos-mia"));
}

}  // namespace

// Reports against the chat stand-in with the chat service's limits, through standin-server: a
// burst of reports at load, some too long for one post, all arrive in the order of the checks.
#include <gmock/gmock.h>

#include "host/GameFacts.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

using ::testing::IsEmpty;
using ::testing::StartsWith;

namespace {

constexpr int32_t Tribe = Game::FirstTribeId;
constexpr int TribeMembers = 60;
constexpr int TribeCreatures = 10;
constexpr int WildCreatures = 30;

size_t Characters(const std::string& utf8) {
    size_t count = 0;
    for (const char byte : utf8) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return count;
}

std::string EosId(int member) {
    std::string id = std::to_string(member);
    return "0002" + std::string(28 - id.size(), 'e') + id;
}

std::string MemberLine(int member) {
    return "Survivor " + std::to_string(member) + " - EOS id: " + EosId(member);
}

// A 60-member tribe with ten over-level creatures among thirty wild ones, all in the world at
// load: forty reports from the start-up sweep, ten of them too long for one post.
nlohmann::json BurstWorld() {
    nlohmann::json players = nlohmann::json::array(), names = nlohmann::json::array(),
                   ids = nlohmann::json::array(), creatures = nlohmann::json::array();
    for (int member = 0; member < TribeMembers; ++member) {
        const int id = 200000 + member;
        players.push_back({{"id", id}, {"eosId", EosId(member)}, {"knownToGameMode", true}});
        names.push_back("Survivor " + std::to_string(member));
        ids.push_back(id);
    }
    for (int index = 0; index < TribeCreatures + WildCreatures; ++index) {
        const bool tribe = index % 4 == 0;  // every fourth, ten in all
        creatures.push_back({{"key", "dino-" + std::to_string(index)},
                             {"name", "Dino" + std::to_string(index)},
                             {"team", tribe ? Tribe : 1000 + index},
                             {"level", 150}});
    }
    return {{"players", players},
            {"tribes", {{{"id", Tribe}, {"memberNames", names}, {"memberIds", ids}}}},
            {"creatures", creatures}};
}

TEST(ReportDeliveryTest, BurstOfLongReportsReachesALimitedChatCompleteAndInOrder) {
    ServerFolder folder;
    const int chatPort = FreePort();
    folder.WriteConfig(
        {{"DestroyDinosOverLevel", 100},
         {"LevelWarningWebhook", "http://127.0.0.1:" + std::to_string(chatPort) + "/hook"}});
    folder.WriteWorld(BurstWorld());
    std::vector<std::string> arguments = folder.Arguments();
    arguments.insert(arguments.end(), {"--webhook-listen", std::to_string(chatPort)});
    ServerProcess server(arguments);
    const size_t expectedPosts = TribeCreatures * 2 + WildCreatures;
    // At five posts per two seconds, fifty posts take about twenty seconds.
    ASSERT_TRUE(folder.WaitForEvents(
        [&](const auto& events) {
            size_t received = 0;
            for (const auto& event : events) received += event.at("type") == "chatReceived";
            return received >= expectedPosts;
        },
        std::chrono::seconds(90)))
        << server.Output();
    server.WriteLine("quit");
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(30)), 0) << server.Output();

    std::vector<std::string> received;
    for (const auto& event : folder.Events("chatReceived")) received.push_back(event.at("content"));
    ASSERT_EQ(received.size(), expectedPosts);
    for (const auto& refusal : folder.Events("chatRefused"))
        EXPECT_NE(refusal.at("reason"), "too long") << refusal.dump();
    for (const std::string& content : received) EXPECT_LE(Characters(content), 2000u);

    // Each report in the order of the checks; a tribe report's parts follow each other and
    // together hold every member line once, in tribe order.
    size_t at = 0;
    for (int index = 0; index < TribeCreatures + WildCreatures; ++index) {
        ASSERT_LT(at, received.size());
        EXPECT_THAT(received[at],
                    StartsWith("# Destroyed dino(Dino" + std::to_string(index) + ")"));
        if (index % 4 != 0) {
            ++at;
            continue;
        }
        std::string parts = received[at] + received[at + 1];
        at += 2;
        size_t from = 0;
        for (int member = 0; member < TribeMembers; ++member) {
            const size_t found = parts.find(MemberLine(member), from);
            ASSERT_NE(found, std::string::npos) << "member " << member << " of report " << index;
            from = found + 1;
        }
        EXPECT_TRUE(received[at - 2].ends_with("```"));
        EXPECT_THAT(received[at - 1], StartsWith("```Survivor "));
    }
    EXPECT_THAT(server.Output(),
                ::testing::HasSubstr("Chat stand-in:                  50 accepted, 0 refused as "
                                     "too long"));
}

}  // namespace

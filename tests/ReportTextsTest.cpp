// How a report describes its creature: owner lines with EOS ids, location, text conversions,
// and the post as a real web-hook listener receives it.
#include <gmock/gmock.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;

namespace {

constexpr int32_t TribeId = 1000050002;

class ReportTextsTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
    }
    // Destroys every creature through the over-level rule, whose log line shows the plain member
    // lines and whose post shows them fenced.
    void SweepAll() {
        WriteConfig(R"({"DestroyDinosOverLevel": -2})");
        LoadPlugin();
    }
    std::string MembersOfLogLine(size_t index = 0) const {
        const std::string line = Texts("log").at(index);
        return line.substr(line.find("\nMembers: ") + 10);
    }
};

TEST_F(ReportTextsTest, TribeLinesFollowNamesWithIdsWhereTheGameHasThem) {
    host.world->AddPlayer({.id = 11, .eosId = u"eos-ann", .knownToGameMode = true});
    host.world->AddPlayer({.id = 12, .eosId = u"eos-dan", .online = true});
    host.world->AddTribe({.id = TribeId,
                          .memberNames = {u"Ann", u"Bob", u"Dan", u"Zoë", u"Cy"},
                          .memberIds = {11, 0, 12, 13}});
    host.world->AddDino({.key = "rex", .name = u"Rex", .team = TribeId});
    SweepAll();
    EXPECT_EQ(MembersOfLogLine(),
              "Ann - EOS id: eos-ann\nBob - EOS id: \nDan - EOS id: eos-dan\nZo? - EOS id: \n"
              "Cy - player id: ");
    EXPECT_THAT(PostedMessages()[0],
                ::testing::EndsWith("\nMembers: ```Ann - EOS id: eos-ann\nBob - EOS id: \nDan - "
                                    "EOS id: eos-dan\nZo? - EOS id: \nCy - player id: ```"));
    // Found only through the online controller, Dan's id was handed to the game mode.
    const auto& known = host.world->GameMode()->EosIdsByPlayerId;
    ASSERT_TRUE(known.contains(12));
    EXPECT_EQ(known.at(12), FString("eos-dan"));
    EXPECT_FALSE(known.contains(13));
}

TEST_F(ReportTextsTest, SingleOwnerLineCarriesCharacterNameAsUtf8WhenOnline) {
    host.world->AddPlayer({.id = 21,
                           .eosId = u"eos-21",
                           .characterName = u"Zoë",
                           .online = true,
                           .knownToGameMode = true});
    host.world->AddPlayer({.id = 22, .eosId = u"eos-22", .knownToGameMode = true});
    host.world->AddDino({.key = "online", .team = 21});
    host.world->AddDino({.key = "offline", .team = 22});
    host.world->AddDino({.key = "wild", .team = 1000050000});  // the last single-owner id
    SweepAll();
    EXPECT_EQ(MembersOfLogLine(0), "Zoë - EOS Id: eos-21");
    EXPECT_EQ(MembersOfLogLine(1), " - EOS Id: eos-22");
    EXPECT_EQ(MembersOfLogLine(2), " - EOS Id: ");
    EXPECT_THAT(PostedMessages()[0], ::testing::EndsWith("Members: ```Zoë - EOS Id: eos-21```"));
}

TEST_F(ReportTextsTest, UnpairedSurrogateBecomesReplacementCharacterAndThePostStillGoesOut) {
    const std::u16string broken = std::u16string(u"Ann") + char16_t(0xD800) + u"e";
    host.world->AddPlayer({.id = 31,
                           .eosId = u"eos-31",
                           .characterName = broken,
                           .online = true,
                           .knownToGameMode = true});
    host.world->AddDino({.key = "rex", .team = 31});
    SweepAll();
    ASSERT_EQ(PostedMessages().size(), 1u);
    EXPECT_THAT(PostedMessages()[0], ::testing::EndsWith("```Ann\xEF\xBF\xBD"
                                                         "e - EOS Id: eos-31```"));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
}

TEST_F(ReportTextsTest, MissingOrTooSmallTribeRecordGivesNoMembersInsteadOfOverrunningIt) {
    host.world->AddTribe({.id = TribeId, .memberNames = {u"Ann"}, .memberIds = {1}});
    host.world->AddDino({.key = "rex", .team = TribeId});
    host.classes.tribeData.PropertiesSize = 8;  // smaller than the fields the plugin reads
    SweepAll();
    EXPECT_EQ(MembersOfLogLine(), "");
    EXPECT_THAT(PostedMessages()[0], ::testing::EndsWith("Members: ``````"));
    UnloadPlugin();

    host.classes.tribeData.Name = FString("NoSuchRecord");
    host.world->AddDino({.key = "rex2", .team = TribeId});
    host.events.Clear();
    SweepAll();
    EXPECT_EQ(MembersOfLogLine(), "");
}

TEST_F(ReportTextsTest, LocationIsPrintedInFullWhateverItsWidth) {
    host.world->AddDino({.key = "near", .location = {1520, -33.25, 0.125}});
    host.world->AddDino({.key = "far", .location = {1e300, -1e300, 5}});
    SweepAll();
    EXPECT_THAT(Texts("log")[0], ::testing::HasSubstr(" at X=1520.000 Y=-33.250 Z=0.125\n"));
    char huge[400];
    std::snprintf(huge, sizeof huge, "%.3f", 1e300);
    const std::string expected =
        std::string(" at X=") + huge + " Y=-" + huge + " Z=5.000\nMembers: ";
    ASSERT_GT(expected.size(), 600u);
    EXPECT_THAT(Texts("log")[1], ::testing::HasSubstr(expected));
}

TEST_F(ReportTextsTest, RealListenerReceivesTheCompactJsonBody) {
    httplib::Server listener;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<std::string, std::string>> received;  // content type, body
    listener.Post("/hook", [&](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard lock(mutex);
        received.emplace_back(request.get_header_value("Content-Type"), request.body);
        response.status = 204;
        arrived.notify_all();
    });
    const int port = listener.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { listener.listen_after_bind(); });

    host.world->AddDino({.key = "rex", .name = u"Say \"hi\"", .team = 4, .level = 1200});
    WriteConfigJson(
        {{"LevelWarningWebhook", "http://127.0.0.1:" + std::to_string(port) + "/hook"}});
    LoadPlugin();
    {
        std::unique_lock lock(mutex);
        arrived.wait_for(lock, std::chrono::seconds(10), [&] { return !received.empty(); });
    }
    UnloadPlugin();  // closes the client's kept-alive connection, so the listener stops at once
    listener.stop();
    serving.join();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first, "application/json");
    EXPECT_EQ(received[0].second,
              "{\"content\":\"# Destroyed dino(Say \\\"hi\\\") level 1200 from tribe 4 at "
              "X=0.000 Y=0.000 Z=0.000\\nMembers: ``` - EOS Id: ```\"}");
}

}  // namespace

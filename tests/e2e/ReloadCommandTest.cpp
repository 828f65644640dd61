// "tmwd.reload" typed on the server console and sent over RCON: the exact reply texts, the
// colours, the log line of a failed reload, and a failed reload keeping the previous config.
#include <gmock/gmock.h>

#include "tests/e2e/RconClient.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

using ::testing::ElementsAre;

namespace {

constexpr const char* Failed = "TameWarden: Failed to reload config";

class ReloadCommandTest : public ::testing::Test {
protected:
    void Start(const nlohmann::json& world = nlohmann::json::object()) {
        folder.WriteConfig({{"DestroyDinosOverLevel", 1000}});
        folder.WriteWorld(world);
        server = StartWithRcon(folder, "secret", rconPort);
        ASSERT_NE(rconPort, 0) << server->Output();
        ASSERT_TRUE(folder.WaitForEvents(
            [](const auto& events) {
                return std::any_of(events.begin(), events.end(),
                                   [](const auto& event) { return event.at("type") == "loaded"; });
            },
            ServerWait))
            << server->Output();
    }

    std::vector<nlohmann::json> WaitForReplies(size_t count) {
        folder.WaitForEvents([&](const auto&) { return folder.Events("reply").size() >= count; },
                             ServerWait);
        return folder.Events("reply");
    }

    void TearDown() override {
        if (!server) return;
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(ServerWait), 0) << server->Output();
    }

    ServerFolder folder;
    std::unique_ptr<ServerProcess> server;
    int rconPort = 0;
};

TEST_F(ReloadCommandTest, ConsoleReloadOfValidFileRepliesReloadedInGreenAndLogsNothing) {
    Start();
    server->WriteLine("tmwd.reload");
    const auto replies = WaitForReplies(1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].at("channel"), "console");
    EXPECT_EQ(replies[0].at("text"), Reloaded);
    EXPECT_EQ(replies[0].at("color"), nlohmann::json({0.0, 1.0, 0.0, 1.0}));
    EXPECT_TRUE(folder.Events("log").empty());
    EXPECT_TRUE(server->WaitForOutput(Reloaded, ServerWait));
}

TEST_F(ReloadCommandTest, ConsoleReloadOfRemovedFileRepliesFailedInRedAndLogsTheCause) {
    Start();
    folder.RemoveConfig();
    server->WriteLine("tmwd.reload");
    const auto replies = WaitForReplies(1);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].at("text"), Failed);
    EXPECT_EQ(replies[0].at("color"), nlohmann::json({1.0, 0.0, 0.0, 1.0}));
    const auto logs = folder.Events("log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].at("level"), "critical");
    EXPECT_EQ(logs[0].at("text"), "Failed to reload config! \n Can't open config.json");
}

TEST_F(ReloadCommandTest, FailedReloadKeepsTheConfigOfTheLastGoodReload) {
    Start({{"creatures", {{{"key", "late"}, {"level", 300}, {"beginPlayAt", 2.5}}}}});
    folder.WriteConfig({{"DestroyDinosOverLevel", 200}});
    server->WriteLine("tmwd.reload");
    WaitForReplies(1);
    folder.RemoveConfig();
    server->WriteLine("tmwd.reload");
    const auto replies = WaitForReplies(2);
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].at("text"), Reloaded);
    EXPECT_EQ(replies[1].at("text"), Failed);
    // Both reloads must come before the creature's check for the test to mean anything.
    ASSERT_LT(replies[1].at("t").get<double>(), 2.5);
    ASSERT_TRUE(folder.WaitForEvents(
        [](const auto& events) { return !Creatures(events, "destroyed").empty(); }, ServerWait));
    EXPECT_THAT(Creatures(folder.Events(), "destroyed"), ElementsAre("late"));
}

TEST_F(ReloadCommandTest, UnknownConsoleCommandIsReportedAndTheServerGoesOn) {
    Start();
    server->WriteLine("no.such.command now");
    EXPECT_TRUE(server->WaitForOutput("Unknown command: no.such.command", ServerWait));
    server->WriteLine("tmwd.reload");
    EXPECT_EQ(WaitForReplies(1).at(0).at("text"), Reloaded);
}

TEST_F(ReloadCommandTest, RconReloadRepliesWithTheRequestIdAndExactTexts) {
    Start();
    RconClient client(rconPort);
    ASSERT_EQ(client.Authenticate("secret", 11), 11);
    EXPECT_EQ(client.Execute("tmwd.reload", 42), Reloaded);
    folder.RemoveConfig();
    EXPECT_EQ(client.Execute("tmwd.reload", 43), Failed);
    const auto replies = folder.Events("reply");
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].at("channel"), "rcon");
    EXPECT_EQ(replies[0].at("id"), 42);
    EXPECT_EQ(replies[1].at("id"), 43);
    EXPECT_EQ(folder.Events("log").at(0).at("text"),
              "Failed to reload config! \n Can't open config.json");
}

TEST_F(ReloadCommandTest, RconCommandNamesIgnoreCaseAndUnknownCommandsGetTheNoResponseText) {
    Start();
    RconClient client(rconPort);
    ASSERT_EQ(client.Authenticate("secret"), 1);
    EXPECT_EQ(client.Execute("TMWD.Reload", 5), Reloaded);
    EXPECT_EQ(client.Execute("listplayers", 6), "Server received, But no response!! \n ");
}

TEST_F(ReloadCommandTest, WrongRconPasswordGetsMinusOneAndLosesTheConnection) {
    Start();
    RconClient client(rconPort);
    EXPECT_EQ(client.Authenticate("guess", 9), -1);
    EXPECT_TRUE(client.ClosedByServer());
    EXPECT_TRUE(folder.Events("reply").empty());
    RconClient second(rconPort);
    EXPECT_EQ(second.Authenticate("secret", 10), 10);
    EXPECT_EQ(second.Execute("tmwd.reload", 12), Reloaded);
}

}  // namespace

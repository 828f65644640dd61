// A client that reads exactly one packet after the login and one after each command, as
// operators' scripts do: every read must be the answer to its own request, and nothing may be
// left over on the socket.
#include <gmock/gmock.h>

#include <memory>

#include "tests/e2e/OneReadRconClient.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace {

constexpr auto Leftovers = std::chrono::milliseconds(500);
constexpr const char* NoResponse = "Server received, But no response!! \n ";
constexpr int32_t Login = 3, Command = 2, AuthResponse = 2, ResponseValue = 0;

// The packet read is the one expected, field by field.
::testing::AssertionResult IsPacket(const std::optional<RconReply>& reply, int32_t id, int32_t type,
                                    const std::string& body) {
    if (!reply) return ::testing::AssertionFailure() << "no whole packet in answer";
    if (reply->id == id && reply->type == type && reply->body == body)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "got id " << reply->id << ", type " << reply->type << ", body \"" << reply->body
           << "\"; expected id " << id << ", type " << type << ", body \"" << body << "\"";
}

class RconOneReadClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.WriteConfig(nlohmann::json::object());
        folder.WriteWorld(nlohmann::json::object());
        server = StartWithRcon(folder, RconPassword, port);
        ASSERT_NE(port, 0) << server->Output();
    }

    void TearDown() override {
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(ServerWait), 0) << server->Output();
    }

    ServerFolder folder;
    std::unique_ptr<ServerProcess> server;
    int port = 0;
};

TEST_F(RconOneReadClientTest, LoginAndEachCommandAreAnsweredByExactlyOnePacket) {
    OneReadRconClient client(port);
    EXPECT_TRUE(
        IsPacket(client.Request(21, Login, RconPassword, ServerWait), 21, AuthResponse, ""));
    EXPECT_TRUE(IsPacket(client.Request(22, Command, "tmwd.reload", ServerWait), 22, ResponseValue,
                         Reloaded));
    EXPECT_TRUE(IsPacket(client.Request(23, Command, "listplayers", ServerWait), 23, ResponseValue,
                         NoResponse));
    EXPECT_TRUE(IsPacket(client.Request(24, Command, "tmwd.reload", ServerWait), 24, ResponseValue,
                         Reloaded));
    EXPECT_EQ(client.UnreadBytes(Leftovers), 0u);
    // The plugin's replies stay in the record; the no-response answer is the server's own.
    const auto replies = folder.Events("reply");
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0].at("id"), 22);
    EXPECT_EQ(replies[1].at("id"), 24);
}

TEST_F(RconOneReadClientTest, WrongPasswordIsAnsweredByOnlyMinusOneAndTheConnectionCloses) {
    OneReadRconClient client(port);
    EXPECT_TRUE(
        IsPacket(client.Request(31, Login, "not-the-password", ServerWait), -1, AuthResponse, ""));
    EXPECT_TRUE(client.ClosedByServerWithNothingMore(ServerWait));
    EXPECT_TRUE(server->WaitForOutput("RCON: connection 1 closed: wrong password", ServerWait));
}

TEST_F(RconOneReadClientTest, CommandsSentBeforeTheirAnswersAreAnsweredOnceEachInOrder) {
    OneReadRconClient client(port);
    EXPECT_TRUE(
        IsPacket(client.Request(41, Login, RconPassword, ServerWait), 41, AuthResponse, ""));
    client.Send(42, Command, "tmwd.reload");
    client.Send(43, Command, "no.such.command");
    client.Send(44, Command, "TMWD.RELOAD");
    EXPECT_TRUE(IsPacket(client.ReadOne(ServerWait), 42, ResponseValue, Reloaded));
    EXPECT_TRUE(IsPacket(client.ReadOne(ServerWait), 43, ResponseValue, NoResponse));
    EXPECT_TRUE(IsPacket(client.ReadOne(ServerWait), 44, ResponseValue, Reloaded));
    EXPECT_EQ(client.UnreadBytes(Leftovers), 0u);
}

}  // namespace

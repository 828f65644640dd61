// Misbehaving RCON clients: each malformed or unauthenticated packet and each connection beyond
// the limit costs only that connection, while the server and its other clients go on.
#include <gmock/gmock.h>

#include <memory>
#include <thread>

#include "tests/e2e/RconClient.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace {

constexpr auto Wait = std::chrono::seconds(10);
constexpr const char* Reloaded = "TameWarden: Reloaded config";

class RconRobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.WriteConfig(nlohmann::json::object());
        folder.WriteWorld(nlohmann::json::object());
        std::vector<std::string> arguments = folder.Arguments();
        arguments.insert(arguments.end(), {"--rcon-port", "0", "--rcon-password", "pw"});
        server = std::make_unique<ServerProcess>(arguments);
        port = server->ListeningPort("RCON", Wait);
        ASSERT_NE(port, 0) << server->Output();
        // A client that is in good standing before the trouble starts.
        steady = std::make_unique<RconClient>(port);
        ASSERT_EQ(steady->Authenticate("pw"), 1);
    }

    void TearDown() override {
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(Wait), 0) << server->Output();
    }

    // The steady client is still served, and the process still runs.
    void ExpectServerStillServes() {
        EXPECT_TRUE(server->Running());
        EXPECT_EQ(steady->Execute("tmwd.reload", ++requestId), Reloaded);
    }

    void ExpectConnectionClosedAfter(const std::string& bytes, bool authenticate) {
        RconClient client(port);
        if (authenticate) {
            ASSERT_EQ(client.Authenticate("pw", 77), 77);
        }
        client.SendRaw(bytes);
        EXPECT_TRUE(client.ClosedByServer()) << "still open after a bad packet";
        ExpectServerStillServes();
    }

    ServerFolder folder;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<RconClient> steady;
    int port = 0;
    int32_t requestId = 100;
};

TEST_F(RconRobustnessTest, SizeBelowTheMinimumClosesOnlyThatConnection) {
    ExpectConnectionClosedAfter(RconClient::Packet(9, 1, 2, "", std::string(2, '\0')), true);
}

TEST_F(RconRobustnessTest, NegativeSizeClosesOnlyThatConnection) {
    ExpectConnectionClosedAfter(RconClient::Packet(-20, 1, 2, "x"), true);
}

TEST_F(RconRobustnessTest, OversizedPacketClosesOnlyThatConnection) {
    const std::string body(5000, 'a');
    ExpectConnectionClosedAfter(RconClient::Packet(5010, 1, 2, body), true);
}

TEST_F(RconRobustnessTest, PacketWithoutItsTwoNulsClosesOnlyThatConnection) {
    ExpectConnectionClosedAfter(RconClient::Packet(21, 1, 2, "tmwd.reload", "xx"), true);
}

TEST_F(RconRobustnessTest, UnknownPacketTypeClosesOnlyThatConnection) {
    ExpectConnectionClosedAfter(RconClient::Packet(21, 1, 7, "tmwd.reload"), true);
}

TEST_F(RconRobustnessTest, CommandBeforeAuthenticationClosesTheConnectionAndIsNotRun) {
    ExpectConnectionClosedAfter(RconClient::Packet(21, 1, 2, "tmwd.reload"), false);
    // Only the steady client's command ran.
    EXPECT_EQ(folder.Events("reply").size(), 1u);
}

TEST_F(RconRobustnessTest, PacketSplitAcrossWritesIsStillUnderstood) {
    const std::string packet = RconClient::Packet(21, 55, 2, "tmwd.reload");
    steady->SendRaw(packet.substr(0, 3));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    steady->SendRaw(packet.substr(3, 10));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    steady->SendRaw(packet.substr(13));
    const auto reply = steady->Read();
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->id, 55);
    EXPECT_EQ(reply->type, 0);
    EXPECT_EQ(reply->body, Reloaded);
}

TEST_F(RconRobustnessTest, FloodOfConnectionsIsBoundedAndOtherClientsAreServed) {
    constexpr int Flood = 40;
    constexpr int Slots = 16;
    std::vector<std::unique_ptr<RconClient>> flood;
    for (int i = 0; i < Flood; ++i) flood.push_back(std::make_unique<RconClient>(port));
    // The steady client holds one slot; the rest of the flood beyond the slots is refused.
    int refused = 0;
    for (auto& client : flood) refused += client->ClosedByServer(std::chrono::milliseconds(150));
    EXPECT_EQ(refused, Flood - (Slots - 1));
    ExpectServerStillServes();

    flood.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the server sees the closes
    RconClient late(port);
    EXPECT_EQ(late.Authenticate("pw", 3), 3);
    EXPECT_EQ(late.Execute("tmwd.reload", 4), Reloaded);
    ExpectServerStillServes();
}

TEST_F(RconRobustnessTest, ClientThatDisconnectsBeforeItsReplyDoesNotDisturbTheServer) {
    {
        RconClient client(port);
        ASSERT_EQ(client.Authenticate("pw", 5), 5);
        client.SendPacket(6, 2, "tmwd.reload");
    }
    ExpectServerStillServes();
}

}  // namespace

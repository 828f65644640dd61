// Misbehaving RCON clients against standin-server as a child process: malformed, truncated and
// random packets, sizes outside the limits, commands before authentication, seeded garbage from
// many short connections and floods of connections. Each costs only its own connection, while
// the server goes on and one well-behaved client keeps running commands and gets every answer.
#include <gmock/gmock.h>

#include <memory>
#include <random>
#include <string>
#include <thread>

#include "tests/e2e/RconClient.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace {

constexpr auto Brief = std::chrono::milliseconds(2000);

class RconRobustnessTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.WriteConfig(nlohmann::json::object());
        folder.WriteWorld(nlohmann::json::object());
        server = StartWithRcon(folder, RconPassword, port);
        ASSERT_NE(port, 0) << server->Output();
        steady = std::make_unique<RconClient>(port);
        ASSERT_EQ(steady->Authenticate(RconPassword, 1), 1);
    }

    void TearDown() override {
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(ServerWait), 0) << server->Output();
    }

    // The well-behaved client's command runs and its answer carries its id.
    void ExpectSteadyClientServed() {
        ++steadyCommands;
        ASSERT_TRUE(server->Running()) << server->Output();
        ASSERT_EQ(steady->Execute("tmwd.reload", 1000 + steadyCommands), Reloaded)
            << "after garbage round " << round;
    }

    void ExpectConnectionClosedAfter(const std::string& bytes, bool authenticate) {
        RconClient client(port);
        if (authenticate) {
            ASSERT_EQ(client.Authenticate(RconPassword, 77), 77);
        }
        client.SendRaw(bytes);
        EXPECT_TRUE(client.ClosedByServer()) << "still open after a bad packet";
        ExpectSteadyClientServed();
    }

    std::string RandomBytes(size_t count) {
        std::string bytes(count, '\0');
        for (char& byte : bytes) byte = static_cast<char>(draw() & 0xFF);
        return bytes;
    }
    int32_t Between(int32_t lowest, int32_t highest) {
        return lowest + static_cast<int32_t>(draw() % static_cast<uint32_t>(highest - lowest + 1));
    }
    // A packet whose size field agrees with its body, with a random id, type and body.
    std::string RandomPacket() {
        const std::string body = RandomBytes(static_cast<size_t>(Between(0, 200)));
        return RconClient::Packet(static_cast<int32_t>(body.size()) + 10, Between(-5, 5),
                                  Between(-1, 4), body);
    }

    ServerFolder folder;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<RconClient> steady;
    int port = 0;
    int steadyCommands = 0;
    int round = 0;
    std::mt19937 draw{4242};
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
    ExpectSteadyClientServed();

    flood.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the server sees the closes
    RconClient late(port);
    EXPECT_EQ(late.Authenticate(RconPassword, 3), 3);
    EXPECT_EQ(late.Execute("tmwd.reload", 4), Reloaded);
    ExpectSteadyClientServed();
}

TEST_F(RconRobustnessTest, ClientThatDisconnectsBeforeItsReplyDoesNotDisturbTheServer) {
    {
        RconClient client(port);
        ASSERT_EQ(client.Authenticate(RconPassword, 5), 5);
        client.SendPacket(6, 2, "tmwd.reload");
    }
    ExpectSteadyClientServed();
}

TEST_F(RconRobustnessTest, RandomBytesAndPacketsBeforeAuthenticationRunNothingAndHarmNoOne) {
    for (round = 0; round < 60; ++round) {
        {
            RconClient garbage(port);
            garbage.SendRaw(round % 2 == 0 ? RandomBytes(static_cast<size_t>(Between(1, 600)))
                                           : RandomPacket());
        }
        if (round % 10 == 9) ExpectSteadyClientServed();
    }
    ExpectSteadyClientServed();
    // Only the steady client's commands ran: no garbage got a reload executed.
    EXPECT_TRUE(folder.WaitForEvents(
        [&](const auto&) {
            return folder.Events("reply").size() == static_cast<size_t>(steadyCommands);
        },
        Brief));
    EXPECT_EQ(folder.Events("reply").size(), static_cast<size_t>(steadyCommands));
}

TEST_F(RconRobustnessTest, CommandsBeforeAuthenticationCloseTheConnectionUnrun) {
    for (round = 0; round < 10; ++round) {
        RconClient early(port);
        early.SendPacket(round, 2, "tmwd.reload");
        EXPECT_TRUE(early.ClosedByServer(Brief)) << "round " << round;
    }
    {
        RconClient wrong(port);
        EXPECT_EQ(wrong.Authenticate("not-the-password", 9), -1);
        wrong.SendPacket(10, 2, "tmwd.reload");
        EXPECT_TRUE(wrong.ClosedByServer(Brief) || !wrong.Read(Brief).has_value());
    }
    ExpectSteadyClientServed();
    EXPECT_EQ(folder.Events("reply").size(), 1u);
}

TEST_F(RconRobustnessTest, SizesOutsideTheLimitsCloseOnlyTheirConnection) {
    const std::vector<int32_t> sizes{INT32_MIN, -1, 0, 1, 9, 4097, 65536, INT32_MAX};
    for (const int32_t size : sizes) {
        ++round;
        RconClient client(port);
        ASSERT_EQ(client.Authenticate(RconPassword, 7), 7);
        client.SendRaw(RconClient::Packet(size, 8, 2, "tmwd.reload") + RandomBytes(32));
        EXPECT_TRUE(client.ClosedByServer(Brief)) << "size " << size;
        ExpectSteadyClientServed();
    }
}

TEST_F(RconRobustnessTest, TruncatedPacketsLeftHangingDoNotStallOtherClients) {
    std::vector<std::unique_ptr<RconClient>> hanging;
    for (round = 0; round < 8; ++round) {
        auto client = std::make_unique<RconClient>(port);
        if (round % 2 == 1) {
            ASSERT_EQ(client->Authenticate(RconPassword, 3), 3);
        }
        const std::string packet = RconClient::Packet(21, 4, 2, "tmwd.reload");
        client->SendRaw(packet.substr(0, static_cast<size_t>(Between(1, 20))));
        hanging.push_back(std::move(client));
        ExpectSteadyClientServed();
    }
    hanging.clear();  // each goes away mid-packet
    ExpectSteadyClientServed();
}

TEST_F(RconRobustnessTest, RandomPacketsAfterAuthenticationNeverStopTheServer) {
    for (round = 0; round < 40; ++round) {
        {
            RconClient client(port);
            ASSERT_EQ(client.Authenticate(RconPassword, 2), 2);
            for (int i = 0; i < 3; ++i) client.SendRaw(RandomPacket());
            client.SendRaw(RandomBytes(static_cast<size_t>(Between(1, 64))));
        }
        if (round % 8 == 7) ExpectSteadyClientServed();
    }
    ExpectSteadyClientServed();
}

}  // namespace

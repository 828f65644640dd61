// One RCON connection over a real socket pair: whatever a command's handler sends for its request
// leaves as exactly one answer, and everything else passes straight through.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "standin/server/RconConnection.h"
#include "standin/server/RconPacket.h"

using standin::RconConnection;
namespace rcon = standin::rcon;

namespace {

using Packets = std::vector<std::tuple<int32_t, int32_t, std::string>>;

class RconConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        int sockets[2], wake[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets), 0);
        ASSERT_EQ(::pipe2(wake, O_NONBLOCK | O_CLOEXEC), 0);
        clientSide = sockets[1];
        wakeRead = wake[0];
        wakeWrite = wake[1];
        connection = std::make_unique<RconConnection>(sockets[0], 1, wakeWrite);
    }

    void TearDown() override {
        connection->Close();
        ::close(clientSide);
        ::close(wakeRead);
        ::close(wakeWrite);
    }

    // Every packet the connection has written so far, as the client receives them.
    std::vector<rcon::Packet> Received() {
        EXPECT_TRUE(connection->Flush());
        std::string bytes;
        char chunk[4096];
        for (ssize_t count; (count = ::recv(clientSide, chunk, sizeof chunk, MSG_DONTWAIT)) > 0;)
            bytes.append(chunk, static_cast<size_t>(count));
        std::vector<rcon::Packet> packets;
        while (!bytes.empty()) {
            auto taken = rcon::TakePacket(bytes);
            if (!std::holds_alternative<rcon::Packet>(taken)) {
                ADD_FAILURE() << "the bytes written are not whole packets";
                break;
            }
            packets.push_back(std::get<rcon::Packet>(std::move(taken)));
        }
        return packets;
    }

    static Packets Fields(const std::vector<rcon::Packet>& packets) {
        Packets fields;
        for (const auto& packet : packets) fields.emplace_back(packet.id, packet.type, packet.body);
        return fields;
    }

    std::unique_ptr<RconConnection> connection;
    int clientSide = -1, wakeRead = -1, wakeWrite = -1;
};

TEST_F(RconConnectionTest, HandlerWithoutTextIsAnsweredWithTheNoResponseText) {
    connection->RunCommand(7, [] {});
    connection->RunCommand(8, [&] { connection->Send(8, rcon::ResponseValue, ""); });
    EXPECT_EQ(Fields(Received()),
              (Packets{{7, rcon::ResponseValue, "Server received, But no response!! \n "},
                       {8, rcon::ResponseValue, "Server received, But no response!! \n "}}));
}

TEST_F(RconConnectionTest, EverythingTheHandlerSendsForItsRequestBecomesOneAnswer) {
    connection->RunCommand(9, [&] {
        connection->Send(9, rcon::ResponseValue, "first line\n");
        connection->Send(9, rcon::ResponseValue, "second line");
    });
    EXPECT_EQ(Fields(Received()), (Packets{{9, rcon::ResponseValue, "first line\nsecond line"}}));
}

TEST_F(RconConnectionTest, SendsForOtherRequestsAndOutsideACommandPassStraightThrough) {
    connection->Send(5, rcon::ResponseValue, "before");
    connection->RunCommand(7, [&] {
        connection->Send(6, rcon::ResponseValue, "for another request");
        connection->Send(7, rcon::ResponseValue, "answer");
    });
    connection->Send(7, rcon::ResponseValue, "after");
    EXPECT_EQ(Fields(Received()), (Packets{{5, rcon::ResponseValue, "before"},
                                           {6, rcon::ResponseValue, "for another request"},
                                           {7, rcon::ResponseValue, "answer"},
                                           {7, rcon::ResponseValue, "after"}}));
}

}  // namespace

// One RCON client: its socket and output queue, and the one answer each of its commands gets.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "standin/Engine.h"
#include "standin/server/RconPacket.h"

namespace standin {

// The game server's answer to a command that produced no text; operators' tools look for it.
inline constexpr const char* NoResponseText = "Server received, But no response!! \n ";

// The network thread owns the socket; the game thread runs commands and answers through Send.
class RconConnection : public RCONClientConnection {
public:
    using Clock = std::chrono::steady_clock;

    RconConnection(int clientSocket, int connectionNumber, int wakeDescriptor)
        : socket(clientSocket), number(connectionNumber), wakeWrite(wakeDescriptor) {}

    // While a command runs, what is sent for its request is gathered into its one answer;
    // anything else goes out as it is.
    void Send(int32_t requestId, int32_t type, const std::string& body) override;
    // Game thread: runs a command's handler, then queues exactly one response value with the
    // request id: the gathered text, or NoResponseText when there is none.
    void RunCommand(int32_t requestId, const std::function<void()>& handler);

    // Any thread: queues the packet and wakes the network thread.
    void Queue(const rcon::Packet& packet);
    size_t PendingOutput();
    // Writes what the socket takes now; false when the socket failed.
    bool Flush();
    bool IsClosed();
    void Close();

    const int socket;
    const int number;
    const int wakeWrite;
    bool authenticated = false;
    bool closeWhenFlushed = false;
    std::string inbound;
    const Clock::time_point connectedAt = Clock::now();
    Clock::time_point lastActivity = connectedAt;

private:
    struct RunningCommand {
        int32_t requestId;
        std::string answer;
    };

    std::mutex mutex;
    std::string outbound;
    std::optional<RunningCommand> running;
    bool closed = false;
};

}  // namespace standin

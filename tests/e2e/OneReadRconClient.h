// An RCON client as the scripts of game-server operators are: after each request it reads
// exactly one packet, byte for byte and never beyond it, so whatever else the server sends stays
// on the socket for the test to find.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "tests/e2e/RconClient.h"

class OneReadRconClient {
public:
    using Duration = std::chrono::milliseconds;

    // Connects to 127.0.0.1:port; throws std::runtime_error if it cannot.
    explicit OneReadRconClient(int port);
    ~OneReadRconClient();
    OneReadRconClient(const OneReadRconClient&) = delete;
    OneReadRconClient& operator=(const OneReadRconClient&) = delete;

    // Sends one packet and reads exactly one packet back; empty on timeout, on a closed
    // connection or when the packet does not end with its two NULs.
    std::optional<RconReply> Request(int32_t id, int32_t type, const std::string& body,
                                     Duration timeout);
    // The two halves of a request, for sending several before reading their answers.
    void Send(int32_t id, int32_t type, const std::string& body);
    std::optional<RconReply> ReadOne(Duration timeout);
    // The bytes that arrived unasked within `wait`, left unread; 0 also when the server closed.
    size_t UnreadBytes(Duration wait);
    // True when the server closes the connection within `timeout` without sending anything more.
    bool ClosedByServerWithNothingMore(Duration timeout);

private:
    // Reads exactly `count` bytes; false on timeout or a closed connection.
    bool ReadExactly(std::string& into, size_t count,
                     std::chrono::steady_clock::time_point deadline);

    int socket = -1;
};

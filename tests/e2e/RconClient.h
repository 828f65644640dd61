// A Source RCON client over real TCP to 127.0.0.1, written apart from the server's own packet
// code so that the two check each other.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

struct RconReply {
    int32_t id = 0;
    int32_t type = 0;
    std::string body;
};

// A TCP socket connected to 127.0.0.1:port; throws std::runtime_error if it cannot connect.
int ConnectToLoopback(int port);

class RconClient {
public:
    using Duration = std::chrono::milliseconds;

    // Connects; throws std::runtime_error if it cannot.
    explicit RconClient(int port);
    ~RconClient();
    RconClient(const RconClient&) = delete;
    RconClient& operator=(const RconClient&) = delete;

    void SendPacket(int32_t id, int32_t type, const std::string& body);
    void SendRaw(const std::string& bytes);
    // The next packet; empty on timeout or when the server closed the connection.
    std::optional<RconReply> Read(Duration timeout = Duration(5000));
    // Sends the password and returns the id of the authentication response (-1: refused).
    std::optional<int32_t> Authenticate(const std::string& password, int32_t id = 1);
    // Runs a command and returns the body of the response carrying `id`.
    std::optional<std::string> Execute(const std::string& command, int32_t id);
    // True when the server closes the connection within the timeout.
    bool ClosedByServer(Duration timeout = Duration(5000));

    static std::string Packet(int32_t size, int32_t id, int32_t type, const std::string& body,
                              const std::string& end = std::string(2, '\0'));

private:
    bool Fill(size_t count, Duration timeout);

    int socket = -1;
    std::string buffer;
    bool closed = false;
};

#include "tests/e2e/RconClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace {

void PutInt(std::string& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    const char bytes[4] = {static_cast<char>(bits & 0xFF), static_cast<char>((bits >> 8) & 0xFF),
                           static_cast<char>((bits >> 16) & 0xFF),
                           static_cast<char>((bits >> 24) & 0xFF)};
    out.append(bytes, 4);
}

int32_t GetInt(const std::string& in, size_t at) {
    uint32_t value = 0;
    std::memcpy(&value, in.data() + at, 4);  // the test machine is little-endian, like the wire
    return static_cast<int32_t>(value);
}

}  // namespace

int ConnectToLoopback(int port) {
    const int connected = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (connected < 0 ||
        ::connect(connected, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (connected >= 0) ::close(connected);
        throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
    }
    return connected;
}

RconClient::RconClient(int port) : socket(ConnectToLoopback(port)) {}

RconClient::~RconClient() { ::close(socket); }

std::string RconClient::Packet(int32_t size, int32_t id, int32_t type, const std::string& body,
                               const std::string& end) {
    std::string out;
    PutInt(out, size);
    PutInt(out, id);
    PutInt(out, type);
    return out + body + end;
}

void RconClient::SendPacket(int32_t id, int32_t type, const std::string& body) {
    SendRaw(Packet(static_cast<int32_t>(body.size()) + 10, id, type, body));
}

void RconClient::SendRaw(const std::string& bytes) {
    // A server that already closed may reset the connection; the reads tell the test.
    [[maybe_unused]] const auto sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

bool RconClient::Fill(size_t count, Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (buffer.size() < count && !closed) {
        const auto left =
            std::chrono::duration_cast<Duration>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd polled{socket, POLLIN, 0};
        if (::poll(&polled, 1, static_cast<int>(left.count())) <= 0) continue;
        char chunk[4096];
        const ssize_t received = ::recv(socket, chunk, sizeof chunk, 0);
        if (received <= 0) {
            closed = true;
            break;
        }
        buffer.append(chunk, static_cast<size_t>(received));
    }
    return buffer.size() >= count;
}

std::optional<RconReply> RconClient::Read(Duration timeout) {
    if (!Fill(4, timeout)) return std::nullopt;
    const int32_t size = GetInt(buffer, 0);
    if (size < 10 || !Fill(4 + static_cast<size_t>(size), timeout)) return std::nullopt;
    RconReply reply{GetInt(buffer, 4), GetInt(buffer, 8),
                    buffer.substr(12, static_cast<size_t>(size) - 10)};
    buffer.erase(0, 4 + static_cast<size_t>(size));
    return reply;
}

std::optional<int32_t> RconClient::Authenticate(const std::string& password, int32_t id) {
    SendPacket(id, 3, password);
    for (int packets = 0; packets < 4; ++packets) {
        const auto reply = Read();
        if (!reply) return std::nullopt;
        if (reply->type == 2) return reply->id;
    }
    return std::nullopt;
}

std::optional<std::string> RconClient::Execute(const std::string& command, int32_t id) {
    SendPacket(id, 2, command);
    for (int packets = 0; packets < 8; ++packets) {
        const auto reply = Read();
        if (!reply) return std::nullopt;
        if (reply->id == id && reply->type == 0) return reply->body;
    }
    return std::nullopt;
}

bool RconClient::ClosedByServer(Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!closed && std::chrono::steady_clock::now() < deadline) {
        buffer.clear();
        Fill(1, Duration(50));
    }
    return closed;
}

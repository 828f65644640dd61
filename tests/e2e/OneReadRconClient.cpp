#include "tests/e2e/OneReadRconClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

namespace {

std::string LittleEndian(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((bits >> shift) & 0xFF);
    return bytes;
}

int32_t FromLittleEndian(const std::string& bytes, size_t at) {
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return static_cast<int32_t>(bits);
}

int MillisecondsUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

OneReadRconClient::OneReadRconClient(int port) : socket(ConnectToLoopback(port)) {}

OneReadRconClient::~OneReadRconClient() { ::close(socket); }

bool OneReadRconClient::ReadExactly(std::string& into, size_t count,
                                    std::chrono::steady_clock::time_point deadline) {
    while (count > 0) {
        pollfd polled{socket, POLLIN, 0};
        if (::poll(&polled, 1, MillisecondsUntil(deadline)) <= 0) return false;
        char chunk[4096];
        const ssize_t received = ::recv(socket, chunk, std::min(count, sizeof chunk), 0);
        if (received <= 0) return false;
        into.append(chunk, static_cast<size_t>(received));
        count -= static_cast<size_t>(received);
    }
    return true;
}

std::optional<RconReply> OneReadRconClient::Request(int32_t id, int32_t type,
                                                    const std::string& body, Duration timeout) {
    Send(id, type, body);
    return ReadOne(timeout);
}

void OneReadRconClient::Send(int32_t id, int32_t type, const std::string& body) {
    const std::string packet = LittleEndian(static_cast<int32_t>(body.size()) + 10) +
                               LittleEndian(id) + LittleEndian(type) + body + std::string(2, '\0');
    // A server that closed shows in the read that follows.
    [[maybe_unused]] const auto sent = ::send(socket, packet.data(), packet.size(), MSG_NOSIGNAL);
}

std::optional<RconReply> OneReadRconClient::ReadOne(Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string sizeField;
    if (!ReadExactly(sizeField, 4, deadline)) return std::nullopt;
    const int32_t size = FromLittleEndian(sizeField, 0);
    if (size < 10 || size > 4096) return std::nullopt;
    std::string rest;
    if (!ReadExactly(rest, static_cast<size_t>(size), deadline)) return std::nullopt;
    if (rest.compare(rest.size() - 2, 2, std::string(2, '\0')) != 0) return std::nullopt;
    return RconReply{FromLittleEndian(rest, 0), FromLittleEndian(rest, 4),
                     rest.substr(8, rest.size() - 10)};
}

size_t OneReadRconClient::UnreadBytes(Duration wait) {
    pollfd polled{socket, POLLIN, 0};
    if (::poll(&polled, 1, static_cast<int>(wait.count())) <= 0) return 0;
    char peeked[4096];
    const ssize_t waiting = ::recv(socket, peeked, sizeof peeked, MSG_PEEK | MSG_DONTWAIT);
    return waiting > 0 ? static_cast<size_t>(waiting) : 0;
}

bool OneReadRconClient::ClosedByServerWithNothingMore(Duration timeout) {
    pollfd polled{socket, POLLIN, 0};
    if (::poll(&polled, 1, static_cast<int>(timeout.count())) <= 0) return false;
    char byte;
    const ssize_t received = ::recv(socket, &byte, 1, 0);
    return received == 0 || (received < 0 && errno == ECONNRESET);
}

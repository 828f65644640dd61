#include "standin/server/RconServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "standin/Host.h"
#include "standin/server/GameLoop.h"
#include "standin/server/RconConnection.h"
#include "standin/server/RconPacket.h"

namespace standin {
namespace {

void SetNonBlocking(int socket) { ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK); }

}  // namespace

RconServer::RconServer(GameLoop& gameLoop, std::string rconPassword, int requestedPort,
                       RconLimits rconLimits)
    : loop(gameLoop), password(std::move(rconPassword)), limits(rconLimits) {
    listenSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenSocket < 0) throw std::runtime_error("RCON: cannot create a socket");
    const int reuse = 1;
    ::setsockopt(listenSocket, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(requestedPort));
    if (::bind(listenSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenSocket, 64) != 0) {
        const std::string reason = std::strerror(errno);
        ::close(listenSocket);
        throw std::runtime_error(
            "RCON: cannot listen on 127.0.0.1:" + std::to_string(requestedPort) + ": " + reason);
    }
    socklen_t length = sizeof address;
    ::getsockname(listenSocket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    SetNonBlocking(listenSocket);
    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) {
        ::close(listenSocket);
        throw std::runtime_error("RCON: cannot create the wake-up pipe");
    }
    wakeRead = wake[0];
    wakeWrite = wake[1];
    thread = std::thread([this] { Serve(); });
}

RconServer::~RconServer() {
    Stop();
    ::close(wakeRead);
    ::close(wakeWrite);
    ::close(listenSocket);
}

void RconServer::Stop() {
    if (stopping.exchange(true)) return;
    const char wake = 1;
    [[maybe_unused]] const auto written = ::write(wakeWrite, &wake, 1);
    if (thread.joinable()) thread.join();
    for (auto& connection : connections) connection->Close();
    connections.clear();
}

void RconServer::Close(RconConnection& connection, const std::string& reason) {
    connection.Close();
    std::printf("RCON: connection %d closed: %s\n", connection.number, reason.c_str());
    std::fflush(stdout);
    Host::Get().events.Record(
        {{"type", "rconClosed"}, {"connection", connection.number}, {"reason", reason}});
}

void RconServer::Accept() {
    for (;;) {
        const int socket = ::accept4(listenSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket < 0) return;
        if (connections.size() >= limits.maxConnections) {
            // Refused at once, so a flood costs the server nothing beyond its bounded slots.
            ::close(socket);
            Host::Get().events.Record(
                {{"type", "rconRefused"}, {"reason", "too many connections"}});
            continue;
        }
        connections.push_back(
            std::make_shared<RconConnection>(socket, nextConnectionNumber++, wakeWrite));
    }
}

void RconServer::Receive(const std::shared_ptr<RconConnection>& shared) {
    RconConnection& connection = *shared;
    char buffer[4096];
    for (;;) {
        const ssize_t received = ::recv(connection.socket, buffer, sizeof buffer, 0);
        if (received == 0) return Close(connection, "closed by the client");
        if (received < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK) break;
            if (errno == EINTR) continue;
            return Close(connection, std::string("receive failed: ") + std::strerror(errno));
        }
        connection.inbound.append(buffer, static_cast<size_t>(received));
        connection.lastActivity = RconConnection::Clock::now();
        if (connection.inbound.size() > 2 * rcon::MaximumSize) break;  // parse before reading on
    }
    while (!connection.closeWhenFlushed) {
        auto taken = rcon::TakePacket(connection.inbound);
        if (std::holds_alternative<rcon::NeedMore>(taken)) return;
        if (auto* malformed = std::get_if<rcon::Malformed>(&taken))
            return Close(connection, malformed->reason);
        rcon::Packet packet = std::get<rcon::Packet>(std::move(taken));
        if (packet.type == rcon::Auth) {
            connection.authenticated = packet.body == password;
            // The login's only answer: clients that read one packet per request take the first.
            connection.Queue({connection.authenticated ? packet.id : -1, rcon::AuthResponse, ""});
            // A wrong password ends the connection once the client has its answer.
            if (!connection.authenticated) connection.closeWhenFlushed = true;
        } else if (packet.type == rcon::ExecCommand) {
            if (!connection.authenticated)
                return Close(connection, "command before authentication");
            loop.Post([shared, line = std::move(packet.body), id = packet.id] {
                // An unknown command sends nothing and so gets the no-response answer.
                shared->RunCommand(
                    id, [&] { Host::Get().commands.ExecuteRcon(line, shared.get(), id); });
            });
        } else {
            return Close(connection,
                         "packet type " + std::to_string(packet.type) + " not accepted");
        }
    }
}

void RconServer::Serve() {
    std::vector<pollfd> polled;
    while (!stopping.load()) {
        polled.clear();
        polled.push_back({wakeRead, POLLIN, 0});
        polled.push_back({listenSocket, POLLIN, 0});
        for (auto& connection : connections) {
            const auto events =
                static_cast<short>(POLLIN | (connection->PendingOutput() > 0 ? POLLOUT : 0));
            polled.push_back({connection->socket, events, 0});
        }
        if (::poll(polled.data(), polled.size(), 200) < 0 && errno != EINTR) break;
        if (polled[0].revents & POLLIN) {
            char drained[64];
            while (::read(wakeRead, drained, sizeof drained) > 0) {
            }
        }

        const auto now = RconConnection::Clock::now();
        for (size_t i = 0; i < connections.size(); ++i) {
            const std::shared_ptr<RconConnection>& connection = connections[i];
            if (polled[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) Receive(connection);
            if (connection->IsClosed()) continue;
            if (!connection->Flush()) {
                Close(*connection, "send failed");
            } else if (connection->closeWhenFlushed && connection->PendingOutput() == 0) {
                Close(*connection, "wrong password");
            } else if (connection->PendingOutput() > limits.maxPendingOutput) {
                Close(*connection, "client does not read its responses");
            } else if (!connection->authenticated &&
                       now - connection->connectedAt > limits.authentication) {
                Close(*connection, "no authentication in time");
            } else if (now - connection->lastActivity > limits.idle) {
                Close(*connection, "idle");
            }
        }
        std::erase_if(connections, [](const auto& connection) { return connection->IsClosed(); });
        // Accepted after the sweep, so that slots freed in this round count.
        if (polled[1].revents & POLLIN) Accept();
    }
}

}  // namespace standin

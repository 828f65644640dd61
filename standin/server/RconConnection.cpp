#include "standin/server/RconConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace standin {

void RconConnection::Send(int32_t requestId, int32_t type, const std::string& body) {
    {
        std::lock_guard lock(mutex);
        if (running && running->requestId == requestId) {
            running->answer += body;
            return;
        }
    }
    Queue({requestId, type, body});
}

void RconConnection::RunCommand(int32_t requestId, const std::function<void()>& handler) {
    {
        std::lock_guard lock(mutex);
        running = RunningCommand{requestId, {}};
    }
    handler();
    std::string answer;
    {
        std::lock_guard lock(mutex);
        answer = std::move(running->answer);
        running.reset();
    }
    // Clients read one packet per command, so even a command without text gets its answer.
    Queue({requestId, rcon::ResponseValue, answer.empty() ? NoResponseText : answer});
}

void RconConnection::Queue(const rcon::Packet& packet) {
    {
        std::lock_guard lock(mutex);
        if (closed) return;  // the client went away while its command waited
        outbound += rcon::Encode(packet);
    }
    const char wake = 1;
    [[maybe_unused]] const auto written = ::write(wakeWrite, &wake, 1);
}

size_t RconConnection::PendingOutput() {
    std::lock_guard lock(mutex);
    return outbound.size();
}

bool RconConnection::Flush() {
    std::lock_guard lock(mutex);
    while (!outbound.empty()) {
        const ssize_t sent =
            ::send(socket, outbound.data(), outbound.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
        outbound.erase(0, static_cast<size_t>(sent));
    }
    return true;
}

bool RconConnection::IsClosed() {
    std::lock_guard lock(mutex);
    return closed;
}

void RconConnection::Close() {
    std::lock_guard lock(mutex);
    if (closed) return;
    closed = true;
    ::close(socket);
}

}  // namespace standin

#include "standin/server/ConsoleInput.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace standin {

ConsoleInput::ConsoleInput(int inputDescriptor, std::function<void(const std::string&)> onLine,
                           std::function<void()> onEnded)
    : descriptor(inputDescriptor), line(std::move(onLine)), ended(std::move(onEnded)) {
    thread = std::thread([this] { Read(); });
}

ConsoleInput::~ConsoleInput() { Stop(); }

void ConsoleInput::Stop() {
    stopping.store(true);
    if (thread.joinable()) thread.join();
}

void ConsoleInput::Read() {
    std::string pending;
    char buffer[4096];
    while (!stopping.load()) {
        pollfd polled{descriptor, POLLIN, 0};
        const int ready = ::poll(&polled, 1, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        const ssize_t received = ::read(descriptor, buffer, sizeof buffer);
        if (received < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (received <= 0) {
            if (!pending.empty()) line(pending);
            ended();
            return;
        }
        pending.append(buffer, static_cast<size_t>(received));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            std::string text = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!text.empty() && text.back() == '\r') text.pop_back();
            line(text);
        }
    }
}

}  // namespace standin

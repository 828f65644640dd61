#include "standin/server/EventLog.h"

#include <stdexcept>

namespace standin {

EventLog::EventLog(const std::string& path) {
    if (path.empty()) return;
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot write the events file " + path);
}

EventLog::~EventLog() { Flush(); }

void EventLog::StartClock() {
    std::lock_guard lock(mutex);
    start = std::chrono::steady_clock::now();
}

double EventLog::SecondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void EventLog::Write(nlohmann::json event) {
    std::lock_guard lock(mutex);
    event["t"] = SecondsSinceStart();
    if (!file.is_open()) return;
    // Invalid UTF-8 from the plugin must not stop the log: it is written replaced.
    file << event.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    // Flushed per line so that a reader (a test, an operator with tail -f) sees events at once.
    file.flush();
}

void EventLog::Flush() {
    std::lock_guard lock(mutex);
    if (file.is_open()) file.flush();
}

}  // namespace standin

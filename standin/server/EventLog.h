// The events file: one JSON object per line, each stamped with the seconds since the plugin
// loaded, written as the events happen so a reader can follow a running server.
#pragma once

#include <chrono>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>

namespace standin {

class EventLog {
public:
    // Without a path nothing is written, but Write still stamps and accepts events.
    explicit EventLog(const std::string& path = "");
    ~EventLog();

    // From now on `t` counts from this moment.
    void StartClock();
    double SecondsSinceStart() const;
    // Stamps the event with `t` and appends it; safe from any thread.
    void Write(nlohmann::json event);
    void Flush();

private:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    std::mutex mutex;
    std::ofstream file;
};

}  // namespace standin

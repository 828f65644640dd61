// Every effect the host sees, in order: what tests compare and what the server writes out.
#pragma once

#include <functional>
#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

namespace standin {

class Events {
public:
    void Record(nlohmann::json event);
    std::vector<nlohmann::json> All() const;
    // The recorded events of one type, in order.
    std::vector<nlohmann::json> OfType(const std::string& type) const;
    void Clear();
    // Called with each event as it is recorded, on the recording thread.
    void SetListener(std::function<void(const nlohmann::json&)> listener);

private:
    mutable std::mutex mutex;
    std::vector<nlohmann::json> events;
    std::function<void(const nlohmann::json&)> listener;
};

}  // namespace standin

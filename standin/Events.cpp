#include "standin/Events.h"

namespace standin {

void Events::Record(nlohmann::json event) {
    std::lock_guard lock(mutex);
    if (listener) listener(event);
    events.push_back(std::move(event));
}

std::vector<nlohmann::json> Events::All() const {
    std::lock_guard lock(mutex);
    return events;
}

std::vector<nlohmann::json> Events::OfType(const std::string& type) const {
    std::lock_guard lock(mutex);
    std::vector<nlohmann::json> matching;
    for (const auto& event : events)
        if (event.value("type", "") == type) matching.push_back(event);
    return matching;
}

void Events::Clear() {
    std::lock_guard lock(mutex);
    events.clear();
}

void Events::SetListener(std::function<void(const nlohmann::json&)> newListener) {
    std::lock_guard lock(mutex);
    listener = std::move(newListener);
}

}  // namespace standin

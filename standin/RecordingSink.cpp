#include "standin/RecordingSink.h"

#include <string>

#include "standin/Host.h"

namespace standin {

void RecordingSink::sink_it_(const spdlog::details::log_msg& message) {
    spdlog::memory_buf_t formatted;
    formatter_->format(message, formatted);
    const auto level = spdlog::level::to_string_view(message.level);
    Host::Get().events.Record(
        {{"type", "log"},
         {"level", std::string(level.data(), level.size())},
         {"text", std::string(message.payload.data(), message.payload.size())},
         {"line", std::string(formatted.data(), formatted.size())}});
}

}  // namespace standin

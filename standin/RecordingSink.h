// A host log sink that records each record as an event: its level, its message text and the
// whole formatted line.
#pragma once

#include <spdlog/sinks/base_sink.h>

#include <mutex>

namespace standin {

class RecordingSink : public spdlog::sinks::base_sink<std::mutex> {
protected:
    void sink_it_(const spdlog::details::log_msg& message) override;
    void flush_() override {}
};

}  // namespace standin

#include "base/Logger.h"

#include "base/PluginName.h"
#include "host/AsaApi.h"

std::shared_ptr<spdlog::logger>& PluginLogger() {
    static std::shared_ptr<spdlog::logger> handle;
    return handle;
}

void InitLogger(std::shared_ptr<spdlog::logger>& handle) {
    const std::vector<spdlog::sink_ptr> sinks = GetLogSinks();
    // Not entered in spdlog's registry: the plugin reaches its logger only through the handle.
    handle = std::make_shared<spdlog::logger>(PluginName, sinks.begin(), sinks.end());
    handle->set_pattern("%D %R [%n][%l] %v", spdlog::pattern_time_type::local);
    handle->flush_on(spdlog::level::info);
}

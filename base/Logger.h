// The plugin's logger: one spdlog logger named after the plugin, over the host's sinks.
#pragma once

#include <spdlog/logger.h>

#include <memory>

#include "base/Format.h"

// The process-wide handle; empty until InitLogger fills it.
std::shared_ptr<spdlog::logger>& PluginLogger();

// Replaces the handle's logger with a new one over a copy of the host's current sink list.
void InitLogger(std::shared_ptr<spdlog::logger>& handle);

// Lines that tell of a failure, made so that they cannot fail themselves: code that describes a
// failure must not fail in turn, and nothing may leave the plugin from there.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "base/Format.h"
#include "base/Logger.h"

// What the exception being handled says; call it inside a catch only.
inline std::string CaughtText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

template <typename... Args>
void LogCritical(fmt::format_string<Args...> format, Args&&... args) noexcept {
    try {
        if (PluginLogger())
            PluginLogger()->critical("{}", fmt::format(format, std::forward<Args>(args)...));
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

template <typename... Args>
void LogWarning(fmt::format_string<Args...> format, Args&&... args) noexcept {
    try {
        if (PluginLogger())
            PluginLogger()->warn("{}", fmt::format(format, std::forward<Args>(args)...));
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

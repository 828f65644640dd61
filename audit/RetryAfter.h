// The pause a peer asks for in its "Retry-After" header: a number of seconds, or an HTTP date.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

// None for a value that is neither, or negative; a date already past asks for no pause.
std::optional<std::chrono::duration<double>> RetryAfterDelay(
    std::string_view value, std::chrono::system_clock::time_point now);

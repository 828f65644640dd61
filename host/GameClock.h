// The steady clock the plugin times its delays by (the deferred checks, the outbox's pauses). The
// host supplies it, so a simulated server can run time faster than the wall clock; a real host's is
// the standard library's steady clock.
#pragma once

#include <chrono>
#include <cstdint>

struct GameClock {
    using rep = int64_t;
    using period = std::nano;
    using duration = std::chrono::duration<rep, period>;
    using time_point = std::chrono::time_point<GameClock>;
    static constexpr bool is_steady = true;

    static time_point now();
};

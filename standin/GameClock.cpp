// The game clock: the system's steady clock, plus whatever time the stand-in has skipped ahead.
#include "host/GameClock.h"

#include "standin/Host.h"

GameClock::time_point GameClock::now() {
    const auto steady = std::chrono::steady_clock::now().time_since_epoch();
    return time_point(std::chrono::duration_cast<duration>(steady) +
                      standin::Host::Get().clockAdvance);
}

// The game thread's loop: a fixed tick rate, the world's timed events, work handed over from
// other threads (console and RCON commands), and the host's update callbacks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>

namespace standin {

class GameLoop {
public:
    using Clock = std::function<double()>;  // seconds since the plugin loaded

    GameLoop(double tickRate, Clock clock);

    // Runs `task` on the game thread at the next tick; safe from any thread.
    void Post(std::function<void()> task);
    // Ends Run after the current tick; safe from any thread. Only sets a lock-free flag, so a
    // signal handler may call it too.
    void RequestStop() { stopRequested.store(true); }
    bool StopRequested() const { return stopRequested.load(); }

    // Ticks until a stop is requested or the clock reaches `untilSeconds`. Each tick runs the
    // posted tasks, then `eachTick` with the clock's reading, then the update callbacks.
    void Run(std::optional<double> untilSeconds, const std::function<void(double)>& eachTick);

private:
    void RunPostedTasks();

    double tickSeconds;
    Clock clock;
    std::atomic<bool> stopRequested{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
    std::mutex mutex;
    std::deque<std::function<void()>> tasks;
};

}  // namespace standin

#include "standin/server/GameLoop.h"

#include <chrono>
#include <thread>

#include "standin/Host.h"

namespace standin {

GameLoop::GameLoop(double tickRate, Clock secondsSinceLoad)
    : tickSeconds(1.0 / tickRate), clock(std::move(secondsSinceLoad)) {}

void GameLoop::Post(std::function<void()> task) {
    std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
}

void GameLoop::RunPostedTasks() {
    std::deque<std::function<void()>> due;
    {
        std::lock_guard lock(mutex);
        due.swap(tasks);
    }
    for (auto& task : due) task();
}

void GameLoop::Run(std::optional<double> untilSeconds,
                   const std::function<void(double)>& eachTick) {
    using SteadyClock = std::chrono::steady_clock;
    const auto tick = std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::duration<double>(tickSeconds));
    auto nextTick = SteadyClock::now();
    auto lastTick = nextTick;
    while (!StopRequested()) {
        const double now = clock();
        if (untilSeconds && now >= *untilSeconds) break;
        RunPostedTasks();
        eachTick(now);
        const auto tickStart = SteadyClock::now();
        Host::Get().commands.RunUpdateCallbacks(
            std::chrono::duration<float>(tickStart - lastTick).count());
        lastTick = tickStart;
        nextTick += tick;
        // A loop that fell behind (a slow tick, a stopped process) starts afresh instead of
        // running a burst of catch-up ticks.
        if (nextTick < SteadyClock::now()) nextTick = SteadyClock::now();
        std::this_thread::sleep_until(nextTick);
    }
    // Work handed over before the stop still runs, so no command is silently dropped.
    RunPostedTasks();
}

}  // namespace standin

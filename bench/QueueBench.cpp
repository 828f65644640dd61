// The deferred check queue against a reference queue that copies the whole list at every tick and
// erases from the front of a vector: a burst of creatures, an idle tick, and the cost of Enqueue.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "plugin/Timer.h"
#include "standin/Host.h"

namespace {

int64_t checksRun = 0;
void CountCheck(TWeakObjectPtr<APrimalDinoCharacter>) { ++checksRun; }

// Snapshot of every task at every tick; each run task is searched for and erased in place.
class ReferenceTimer {
public:
    void Enqueue(void (*function)(TWeakObjectPtr<APrimalDinoCharacter>),
                 TWeakObjectPtr<APrimalDinoCharacter> weak) {
        std::lock_guard lock(mutex);
        tasks.push_back(std::make_shared<Tools::Timer::Task>([function, weak] { function(weak); },
                                                             Tools::Timer::CheckDelayMs));
    }
    void Update(float) {
        const int64_t now = Tools::Timer::Now();
        std::vector<std::shared_ptr<Tools::Timer::Task>> snapshot;
        {
            std::lock_guard lock(mutex);
            snapshot = tasks;
        }
        for (const auto& task : snapshot) {
            if (!task || task->due > now || !task->callback) continue;
            task->callback();
            std::lock_guard lock(mutex);
            tasks.erase(std::find(tasks.begin(), tasks.end(), task));
        }
    }

private:
    std::mutex mutex;
    std::vector<std::shared_ptr<Tools::Timer::Task>> tasks;
};

template <typename Queue>
void BurstThenOneTick(benchmark::State& state) {
    const auto count = state.range(0);
    for (auto _ : state) {
        state.PauseTiming();
        auto queue = std::make_unique<Queue>();
        for (int64_t i = 0; i < count; ++i) queue->Enqueue(&CountCheck, {});
        std::this_thread::sleep_for(std::chrono::milliseconds(Tools::Timer::CheckDelayMs + 5));
        checksRun = 0;
        state.ResumeTiming();
        queue->Update(0);
        state.PauseTiming();
        if (checksRun != count) state.SkipWithError("not every task ran");
        queue.reset();
        state.ResumeTiming();
    }
    state.counters["ns_per_task"] = benchmark::Counter(
        static_cast<double>(count),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

template <typename Queue>
void IdleTick(benchmark::State& state) {
    Queue queue;
    for (int64_t i = 0; i < state.range(0); ++i) queue.Enqueue(&CountCheck, {});
    for (auto _ : state) queue.Update(0);
}

template <typename Queue>
void EnqueueCost(benchmark::State& state) {
    auto queue = std::make_unique<Queue>();
    int64_t added = 0;
    for (auto _ : state) {
        queue->Enqueue(&CountCheck, {});
        if (++added == 1'000'000) {
            state.PauseTiming();
            queue = std::make_unique<Queue>();
            added = 0;
            state.ResumeTiming();
        }
    }
}

// The Timer registers its update callback with the host; the stand-in host accepts it.
void ResetHost() { standin::Host::Get().Reset(); }

BENCHMARK(BurstThenOneTick<Tools::Timer>)
    ->Arg(100'000)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BurstThenOneTick<ReferenceTimer>)
    ->Arg(100'000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(IdleTick<Tools::Timer>)->Arg(1'000)->Arg(100'000);
BENCHMARK(IdleTick<ReferenceTimer>)->Arg(1'000)->Arg(100'000);
BENCHMARK(EnqueueCost<Tools::Timer>);
BENCHMARK(EnqueueCost<ReferenceTimer>);

}  // namespace

int main(int argc, char** argv) {
    ResetHost();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    ResetHost();
    return 0;
}

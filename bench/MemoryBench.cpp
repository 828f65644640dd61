// Heap the audit holds: bytes per creature check waiting in the deferred queue, and the peak of a
// 100,000-creature start-up sweep above the world it sweeps.
#include <benchmark/benchmark.h>

#include "audit/CheckDino.h"
#include "bench/AllocationCounter.h"
#include "bench/BenchHost.h"
#include "host/Game.h"
#include "plugin/Plugin.h"
#include "plugin/Timer.h"
#include "standin/Host.h"

namespace {

void WaitingTaskBytes(benchmark::State& state) {
    const auto tasks = static_cast<size_t>(state.range(0));
    PrepareInProcessPlugin();
    InstallGeneratedWorld(1);
    const auto creature = FirstWildCreature();
    double perTask = 0;
    for (auto _ : state) {
        Tools::Timer timer;
        const size_t before = AllocationCounter::LiveBytes();
        for (size_t i = 0; i < tasks; ++i) timer.Enqueue(&CheckDino, creature);
        perTask = static_cast<double>(AllocationCounter::LiveBytes() - before) /
                  static_cast<double>(tasks);
    }
    state.counters["bytes_per_task"] = perTask;
}
BENCHMARK(WaitingTaskBytes)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

void SweepPeakBytes(benchmark::State& state) {
    PrepareInProcessPlugin();
    double world = 0, peak = 0, retained = 0;
    for (auto _ : state) {
        state.PauseTiming();
        standin::Host::Get().world.reset();
        const size_t empty = AllocationCounter::LiveBytes();
        InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
        const size_t before = AllocationCounter::LiveBytes();
        AllocationCounter::ResetPeak();
        state.ResumeTiming();
        StartupSweep();
        world = static_cast<double>(before - empty);
        peak = static_cast<double>(AllocationCounter::PeakBytes() - before);
        retained = static_cast<double>(AllocationCounter::LiveBytes() - before);
    }
    state.counters["world_bytes"] = world;
    state.counters["peak_beyond_world"] = peak;
    state.counters["retained_after_sweep"] = retained;
}
BENCHMARK(SweepPeakBytes)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

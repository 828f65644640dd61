// Heap the audit holds: bytes per creature check waiting in the deferred queue, the peak of a
// 100,000-creature start-up sweep above the world it sweeps, and the allocations of a check of a
// creature that no rule touches (none).
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

template <TWeakObjectPtr<APrimalDinoCharacter> (*Pick)()>
void AllocationsOfUntouchedCheck(benchmark::State& state) {
    PrepareInProcessPlugin();
    InstallGeneratedWorld(1000);
    const TWeakObjectPtr<APrimalDinoCharacter> creature = Pick();
    CheckDino(creature);  // anything made once per process is made here
    const size_t before = AllocationCounter::Allocations();
    int64_t checks = 0;
    for (auto _ : state) {
        CheckDino(creature);
        ++checks;
    }
    state.counters["allocations_per_check"] =
        static_cast<double>(AllocationCounter::Allocations() - before) /
        static_cast<double>(checks);
}
BENCHMARK_TEMPLATE(AllocationsOfUntouchedCheck, FirstWildCreature)->Name("AllocationsWildCheck");
BENCHMARK_TEMPLATE(AllocationsOfUntouchedCheck, FirstCreatureOfLargestTribe)
    ->Name("AllocationsTenMemberTribeCheck");

}  // namespace

BENCHMARK_MAIN();

// Game-thread cost of the audit: the start-up sweep over a large world and single checks of
// creatures that no rule acts on, with the default configuration.
#include <benchmark/benchmark.h>

#include "audit/CheckDino.h"
#include "audit/Preview.h"
#include "base/Config.h"
#include "bench/BenchHost.h"
#include "plugin/Plugin.h"

namespace {

void StartupSweepOfLargeWorld(benchmark::State& state) {
    const auto creatures = static_cast<size_t>(state.range(0));
    PrepareInProcessPlugin();
    for (auto _ : state) {
        state.PauseTiming();
        InstallGeneratedWorld(creatures);  // fresh, so the game mode learns no ids in advance
        state.ResumeTiming();
        StartupSweep();
    }
    state.counters["per_creature"] = benchmark::Counter(
        static_cast<double>(creatures),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(StartupSweepOfLargeWorld)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// A preview looks at the same world the same way, with a recorder for the effects: it must cost
// the game thread no more than the sweep.
void PreviewOfLargeWorld(benchmark::State& state) {
    const auto creatures = static_cast<size_t>(state.range(0));
    PrepareInProcessPlugin();
    for (auto _ : state) {
        state.PauseTiming();
        InstallGeneratedWorld(creatures);
        state.ResumeTiming();
        benchmark::DoNotOptimize(PreviewWorld(CurrentConfig()));
    }
    state.counters["per_creature"] = benchmark::Counter(
        static_cast<double>(creatures),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(PreviewOfLargeWorld)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

template <TWeakObjectPtr<APrimalDinoCharacter> (*Pick)()>
void CheckOfUntouchedCreature(benchmark::State& state) {
    PrepareInProcessPlugin();
    InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
    const TWeakObjectPtr<APrimalDinoCharacter> creature = Pick();
    for (auto _ : state) CheckDino(creature);
}
BENCHMARK_TEMPLATE(CheckOfUntouchedCreature, FirstWildCreature)
    ->Name("CheckDinoWild")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(CheckOfUntouchedCreature, FirstCreatureOfLargestTribe)
    ->Name("CheckDinoTenMemberTribe")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

// A creature of the 10-member tribe that the level warning reports: the facts, the texts and the
// post that a report costs. The stand-in records posts without sending them.
void CheckOfReportedCreature(benchmark::State& state) {
    PrepareInProcessPlugin();
    UseConfig({{"EnableLevelWarning", true}, {"LevelWarningThreshold", 1}});
    InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
    const TWeakObjectPtr<APrimalDinoCharacter> creature = FirstCreatureOfLargestTribe();
    int64_t checks = 0;
    for (auto _ : state) {
        CheckDino(creature);
        if (++checks % 1000 == 0) {
            state.PauseTiming();
            ForgetHostEvents();
            state.ResumeTiming();
        }
    }
    ForgetHostEvents();
}
BENCHMARK(CheckOfReportedCreature)
    ->Name("CheckDinoTenMemberTribeReported")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

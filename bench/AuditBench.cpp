// Game-thread cost of the audit: the start-up sweep over a large world and single checks of
// creatures that no rule acts on, with the default configuration; beside them, the sweep with
// every owner lookup made in full, twice per creature, as a check made them before the texts
// waited for a report.
#include <benchmark/benchmark.h>

#include "audit/AuditEffects.h"
#include "audit/CheckDino.h"
#include "audit/MemberLines.h"
#include "audit/OnlinePlayers.h"
#include "audit/Preview.h"
#include "audit/WorldCreatures.h"
#include "base/Config.h"
#include "bench/BenchHost.h"
#include "host/Game.h"
#include "plugin/Plugin.h"

namespace {

// The time of one iteration divided among the creatures it checked.
void CountPerCreature(benchmark::State& state, size_t creatures) {
    state.counters["per_creature"] = benchmark::Counter(
        static_cast<double>(creatures),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Runs `sweep` once per iteration over a fresh generated world of state.range(0) creatures, so the
// game mode learns no ids in advance, and counts the time per creature.
template <typename Sweep>
void SweepFreshWorlds(benchmark::State& state, Sweep sweep) {
    const auto creatures = static_cast<size_t>(state.range(0));
    PrepareInProcessPlugin();
    for (auto _ : state) {
        state.PauseTiming();
        InstallGeneratedWorld(creatures);
        state.ResumeTiming();
        sweep();
    }
    CountPerCreature(state, creatures);
}

void StartupSweepOfLargeWorld(benchmark::State& state) { SweepFreshWorlds(state, &StartupSweep); }
BENCHMARK(StartupSweepOfLargeWorld)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// Every creature's owner lines walked twice (once per text) and joined, beside its check: the
// lookups in full, whether or not a report needs them.
void StartupSweepWithEveryLookupInFull(benchmark::State& state) {
    SweepFreshWorlds(state, [] {
        ForEachCreatureInWorld([](TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
            CheckDino(weakDino);
            const int32_t team = Game::TargetingTeam(weakDino.Get());
            std::vector<Owner> owners;
            benchmark::DoNotOptimize(JoinLines(TribeMemberLines(team, ServerEffects(), owners)));
            benchmark::DoNotOptimize(JoinLines(TribeMemberLines(team, ServerEffects(), owners)));
        });
    });
}
BENCHMARK(StartupSweepWithEveryLookupInFull)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

// A preview looks at the same world the same way, with a recorder for the effects: it must cost
// the game thread no more than the sweep.
void PreviewOfLargeWorld(benchmark::State& state) {
    SweepFreshWorlds(state, [] { benchmark::DoNotOptimize(PreviewWorld(CurrentConfig())); });
}
BENCHMARK(PreviewOfLargeWorld)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(5);

// Many checks in one game tick, as the deferred queue and the sweep run them: the index of online
// players is made once for all of them.
template <TWeakObjectPtr<APrimalDinoCharacter> (*Pick)()>
void CheckOfUntouchedCreature(benchmark::State& state) {
    PrepareInProcessPlugin();
    InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
    const TWeakObjectPtr<APrimalDinoCharacter> creature = Pick();
    const OnlinePlayersCall oneTick;
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

// A tick that checks one creature: the index of the 100 online players is made for it alone.
void TickWithOneCheckOfWildCreature(benchmark::State& state) {
    PrepareInProcessPlugin();
    InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
    const TWeakObjectPtr<APrimalDinoCharacter> creature = FirstWildCreature();
    for (auto _ : state) {
        const OnlinePlayersCall oneTick;
        CheckDino(creature);
    }
}
BENCHMARK(TickWithOneCheckOfWildCreature)->Arg(100000)->Unit(benchmark::kMicrosecond);

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

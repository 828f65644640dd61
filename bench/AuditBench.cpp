// Game-thread cost of the audit: the start-up sweep over a large world and single checks of
// creatures that no rule acts on, with the default configuration; beside them, the sweep with
// every owner lookup made in full, twice per creature, as a check made them before the texts
// waited for a report; and single checks that report or destroy a tribe's creature.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/CheckDino.h"
#include "audit/DestructionJournal.h"
#include "audit/MemberLines.h"
#include "audit/OnlinePlayers.h"
#include "audit/Preview.h"
#include "audit/WorldCreatures.h"
#include "base/Config.h"
#include "bench/BenchHost.h"
#include "host/Game.h"
#include "plugin/Plugin.h"
#include "standin/Host.h"

namespace fs = std::filesystem;

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
// post that a report costs, the owner lookups in full. The stand-in records posts without sending
// them. Called directly, as a tool or a test would, and inside a tick of its own, as the deferred
// queue runs it; both make the index of online players once per check.
template <bool InTick>
void CheckOfReportedCreature(benchmark::State& state) {
    PrepareInProcessPlugin();
    UseConfig({{"EnableLevelWarning", true}, {"LevelWarningThreshold", 1}});
    InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
    const TWeakObjectPtr<APrimalDinoCharacter> creature = FirstCreatureOfLargestTribe();
    int64_t checks = 0;
    for (auto _ : state) {
        if constexpr (InTick) {
            const OnlinePlayersCall oneTick;
            CheckDino(creature);
        } else {
            CheckDino(creature);
        }
        if (++checks % 1000 == 0) {
            state.PauseTiming();
            ForgetHostEvents();
            state.ResumeTiming();
        }
    }
    ForgetHostEvents();
}
BENCHMARK_TEMPLATE(CheckOfReportedCreature, false)
    ->Name("CheckDinoTenMemberTribeReported")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(CheckOfReportedCreature, true)
    ->Name("TickWithOneCheckOfReportedCreature")
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);

// A creature of the 10-member tribe destroyed for its level with the journal on: the report, the
// log line, its record written ahead and the destruction. Each batch of creatures joins the world
// untimed. The world is small because the stand-in finds a destroyed actor by walking its list, a
// cost the game does not have.
void CheckOfDestroyedCreature(benchmark::State& state) {
    constexpr int Batch = 100;
    const fs::path server =
        fs::temp_directory_path() / ("audit-destroy-bench-" + std::to_string(::getpid()));
    fs::create_directories(server / "ArkApi" / "Plugins" / "TameWarden");
    standin::Host::Get().currentDir = server.string();
    PrepareInProcessPlugin();
    UseConfig({{"DestroyDinosOverLevel", 1}, {"DestroyJournal", true}});
    standin::World& world = InstallGeneratedWorld(static_cast<size_t>(state.range(0)));
    const DestructionJournal::Counts before = TheJournal().Statistics();
    std::vector<TWeakObjectPtr<APrimalDinoCharacter>> creatures;
    uint64_t checks = 0;
    for (auto _ : state) {
        if (creatures.empty()) {
            state.PauseTiming();
            ForgetHostEvents();
            for (int i = 0; i < Batch; ++i) creatures.push_back(AddTribeCreature(world));
            state.ResumeTiming();
        }
        CheckDino(creatures.back());
        creatures.pop_back();
        ++checks;
    }
    CloseJournal();
    const DestructionJournal::Counts after = TheJournal().Statistics();
    if (after.notDone != before.notDone || after.written - before.written != checks)
        state.SkipWithError("records were lost");
    ForgetHostEvents();
    fs::remove_all(server);
}
BENCHMARK(CheckOfDestroyedCreature)
    ->Name("CheckDinoTenMemberTribeDestroyed")
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

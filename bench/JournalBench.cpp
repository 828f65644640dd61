// The journal's cost on the game thread: a burst of 10,000 destructions recorded in one tick,
// each record formatted and handed to the operating system on its own, as before its destroy.
// Reports the time per record and the file's bytes per 1,000 records; every record must arrive.
// Then the whole of it: a sweep that destroys every creature of a generated world, with the
// journal and without, so the difference is what the records cost, reading their facts included.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "audit/AuditRules.h"
#include "audit/DestructionJournal.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "base/PluginName.h"
#include "bench/BenchHost.h"
#include "plugin/Plugin.h"
#include "standin/Host.h"

namespace fs = std::filesystem;

namespace {

constexpr int BurstSize = 10000;

DestructionRecord TypicalRecord() {
    DestructionRecord record{};
    record.rule = AuditRule::OverLevel;
    record.map = "TheIsland_WP";
    record.creature = "Rex";
    record.level = 1200;
    record.team = 1000050001;
    record.location = std::array<double, 3>{1520.0, -33.25, 0.125};
    record.owners = {{"Ann", 11, "0002a1b2c3d4e5f60718293a4b5c6d7e"},
                     {"Bob", 12, "0002b1b2c3d4e5f60718293a4b5c6d7f"}};
    record.compared = LevelThreshold{1000};
    for (size_t stat = 0; stat < record.statValues.size(); ++stat) {
        record.levelUpPoints[stat] = static_cast<uint8_t>(40 + stat);
        record.tamedLevelUpPoints[stat] = static_cast<uint8_t>(stat);
        record.tamedMutations[stat] = static_cast<uint8_t>(stat % 3);
        record.statValues[stat] = 1234.5f + static_cast<float>(stat);
    }
    record.report =
        "# Destroyed dino(Rex) level 1200 from tribe 1000050001 at X=1520.000 Y=-33.250 "
        "Z=0.125\nMembers: ```Ann - EOS id: 0002a1b2c3d4e5f60718293a4b5c6d7e\nBob - EOS id: "
        "0002b1b2c3d4e5f60718293a4b5c6d7f```";
    return record;
}

// The lines of the journal and its rotated files, and their bytes.
std::pair<size_t, uintmax_t> FolderLines(const fs::path& folder) {
    size_t lines = 0;
    uintmax_t bytes = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        std::ifstream in(entry.path(), std::ios::binary);
        for (std::string line; std::getline(in, line);) ++lines;
        bytes += fs::file_size(entry.path());
    }
    return {lines, bytes};
}

void BurstOfDestructionsInOneTick(benchmark::State& state) {
    PluginName = "TameWarden";
    InitLogger(PluginLogger());
    const fs::path folder =
        fs::temp_directory_path() / ("journal-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path file = folder / "destroyed.jsonl";
    const DestructionRecord record = TypicalRecord();
    uintmax_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        for (const auto& entry : fs::directory_iterator(folder)) fs::remove(entry.path());
        auto journal = std::make_unique<DestructionJournal>();
        journal->Open(file);
        state.ResumeTiming();
        for (int burst = 0; burst < BurstSize; ++burst)
            benchmark::DoNotOptimize(journal->WriteAhead(record));
        state.PauseTiming();
        journal.reset();
        standin::Host::Get().events.Clear();
        const auto [lines, written] = FolderLines(folder);
        if (lines != BurstSize) {
            state.SkipWithError("records were lost");
            break;
        }
        bytes = written;
        state.ResumeTiming();
    }
    state.counters["ns_per_record"] = benchmark::Counter(
        static_cast<double>(BurstSize),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["bytes_per_1000_records"] = static_cast<double>(bytes) * 1000 / BurstSize;
    fs::remove_all(folder);
}
BENCHMARK(BurstOfDestructionsInOneTick)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

// Every creature the sweep looks at is destroyed for its level (the exempt ones aside).
void SweepThatDestroysEveryCreature(benchmark::State& state) {
    const bool journal = state.range(0) != 0;
    constexpr size_t Creatures = 10000;
    const fs::path server =
        fs::temp_directory_path() / ("journal-sweep-bench-" + std::to_string(::getpid()));
    fs::create_directories(server / "ArkApi" / "Plugins" / "TameWarden");
    standin::Host::Get().currentDir = server.string();
    PrepareInProcessPlugin();
    UseConfig({{"DestroyDinosOverLevel", 1}, {"DestroyJournal", journal}});
    uint64_t destroyed = 0;
    uint64_t iterations = 0;
    const DestructionJournal::Counts before = TheJournal().Statistics();
    for (auto _ : state) {
        state.PauseTiming();
        InstallGeneratedWorld(Creatures);
        ForgetHostEvents();
        state.ResumeTiming();
        StartupSweep();
        state.PauseTiming();
        destroyed = standin::Host::Get().events.OfType("destroyed").size();
        ++iterations;
        state.ResumeTiming();
    }
    CloseJournal();
    const DestructionJournal::Counts counts = TheJournal().Statistics();
    const uint64_t written = counts.written - before.written;
    if (journal && (counts.notDone != before.notDone || written != destroyed * iterations))
        state.SkipWithError("records were lost");
    state.counters["destroyed"] = static_cast<double>(destroyed);
    state.counters["per_creature"] = benchmark::Counter(
        static_cast<double>(Creatures),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    fs::remove_all(server);
}
BENCHMARK(SweepThatDestroysEveryCreature)
    ->ArgName("journal")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();

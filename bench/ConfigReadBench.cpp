// The configuration reads of one check of a creature that no rule touches, with the example
// server's configuration (warning and stat limits on): the per-read lookup in the JSON document
// that every check used to make, beside the typed settings made once per reload.
#include <benchmark/benchmark.h>

#include <array>
#include <nlohmann/json.hpp>

#include "base/ConfigKeys.h"
#include "base/ConfigSnapshot.h"

namespace {

const nlohmann::json& ExampleConfig() {
    static const nlohmann::json document = {
        {"WhitelistedDinos", {"Mascot Dodo"}},
        {"DestroyDinosOverLevel", 500},
        {"EnableLevelWarning", true},
        {"LevelWarningThreshold", 300},
        {"MinDinoLevel", 2},
        {"AutoDestroyDinosBelowMinLevel", true},
        {"DestroyIncoherentDinos", true},
        {"DestroyDinosOverStatValue", true},
        {"StatValueLimits", {{"Health", 20000}, {"MeleeDamageMultiplier", 6.0}}},
        {"LevelWarningWebhook", "http://127.0.0.1:18080/webhook"}};
    return document;
}

constexpr std::array<float, 12> Current{5000, 300, 200, 150, 3000, 100, 0, 400, 1.5f, 1, 0, 1};

// Each key looked up by name in the JSON document and converted at every read, the limits copied
// and walked.
void LiteralJsonLookupPerRead(benchmark::State& state) {
    const nlohmann::json& document = ExampleConfig();
    for (auto _ : state) {
        const auto whitelist = ConfigKeys::ReadKey(document, ConfigKeys::WhitelistedDinos);
        benchmark::DoNotOptimize(whitelist);
        benchmark::DoNotOptimize(ConfigKeys::ReadKey(document, ConfigKeys::DestroyDinosOverLevel));
        benchmark::DoNotOptimize(ConfigKeys::ReadKey(document, ConfigKeys::EnableLevelWarning));
        benchmark::DoNotOptimize(ConfigKeys::ReadKey(document, ConfigKeys::LevelWarningThreshold));
        benchmark::DoNotOptimize(ConfigKeys::ReadKey(document, ConfigKeys::MinDinoLevel));
        if (ConfigKeys::ReadKey(document, ConfigKeys::DestroyDinosOverStatValue)) {
            const nlohmann::json limits =
                ConfigKeys::ReadKey(document, ConfigKeys::StatValueLimits);
            bool reached = false;
            for (auto entry = limits.begin(); entry != limits.end() && !reached; ++entry) {
                const auto stat = ConfigKeys::StatIndexFromName(entry.key());
                const auto limit = entry.value().get<float>();
                reached = stat && limit > 0 && Current[*stat] >= limit;
            }
            benchmark::DoNotOptimize(reached);
        }
    }
}
BENCHMARK(LiteralJsonLookupPerRead);

// The same reads from the settings made once from that document.
void TypedSnapshotRead(benchmark::State& state) {
    const ConfigSnapshot config(ExampleConfig());
    for (auto _ : state) {
        benchmark::DoNotOptimize(config.WhitelistedDinos.Read());
        benchmark::DoNotOptimize(config.DestroyDinosOverLevel.Read());
        benchmark::DoNotOptimize(config.EnableLevelWarning.Read());
        benchmark::DoNotOptimize(config.LevelWarningThreshold.Read());
        benchmark::DoNotOptimize(config.MinDinoLevel.Read());
        if (config.DestroyDinosOverStatValue.Read())
            benchmark::DoNotOptimize(config.StatValueLimits.AnyReached(Current.data()));
    }
}
BENCHMARK(TypedSnapshotRead);

// What a reload pays for the settings.
void SnapshotFromDocument(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(ConfigSnapshot(ExampleConfig()));
}
BENCHMARK(SnapshotFromDocument);

}  // namespace

BENCHMARK_MAIN();

// The fault loop: one whole life of the plugin (load with a world every rule acts on, creatures
// that begin play, ticks until their checks run, a good and a failed reload, the status, a preview,
// unload, a second load) is run once with no fault to count the host operations the plugin calls,
// then for every N once with the Nth operation failing once, and once with every operation from the
// Nth on failing (where the host may answer null, also that way). After each run the invariants
// hold, or the test names N, the operation and the invariant broken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "host/Game.h"
#include "standin/RecordingSink.h"
#include "tests/PluginFixture.h"
#include "tests/TextPattern.h"

namespace fs = std::filesystem;
using standin::DinoSpec;
using standin::Faults;

namespace {

constexpr int32_t LoopTribe = 1000060001;
constexpr const char* DestroyFunction = "APrimalDinoCharacter.Destroy(bool,bool)";

// The run in progress, for a process that ends inside it.
std::string currentRun = "no run";

DinoSpec Creature(const char* key, std::u16string name, int32_t team, int32_t level) {
    return {.key = key,
            .name = std::move(name),
            .team = team,
            .level = level,
            .location = {1520, -33.25, 0.125},
            .levelUpPoints = CoherentPoints(level)};
}

nlohmann::json FirstConfig() {
    return {{"DestroyDinosOverLevel", 1000},
            {"EnableLevelWarning", true},
            {"LevelWarningThreshold", 500},
            {"MinDinoLevel", 2},
            {"DestroyIncoherentDinos", true},
            {"DestroyDinosOverStatValue", true},
            {"StatValueLimits", {{"Health", 20000}}},
            {"WhitelistedDinos", {"Pet"}},
            {"LevelWarningWebhook", "http://127.0.0.1:9/webhook"}};
}

nlohmann::json SecondConfig() {
    nlohmann::json config = FirstConfig();
    config["AutoDestroyDinosBelowMinLevel"] = true;
    return config;
}

// What one run of the life left: its events in order, where each load and unload began in them,
// and the journal's lines.
struct LifeRecord {
    std::vector<nlohmann::json> events;
    std::vector<size_t> loadStarts;  // two loads: [load, unload) slices end at the next start
    size_t firstReload = 0;          // where the first tmwd.reload began: it may finish a load
    std::vector<std::string> journal;
    std::vector<std::string> escapes;                      // exceptions that reached the harness
    std::vector<std::vector<std::string>> leftRegistered;  // after each unload
};

class FaultLoopTest : public PluginFixture, public testing::WithParamInterface<uint64_t> {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        std::set_terminate([] {
            std::fprintf(stderr, "fault loop: the process ended in %s\n", currentRun.c_str());
            std::abort();
        });
    }

    fs::path PluginFolder() const { return ConfigPath().parent_path(); }

    void Fresh() {
        host.Reset();
        host.logSinks = {std::make_shared<standin::RecordingSink>()};
        host.currentDir = serverDir.string();
        host.sendRequests = false;
        host.unsentPosts = standin::Host::UnsentPosts::Accepted;
        fs::remove_all(PluginFolder());
        fs::create_directories(PluginFolder());
        std::ofstream(PluginFolder() / "preview.json") << SecondConfig().dump();
        WriteConfigJson(FirstConfig());
        standin::World& world = MakeWorld();
        world.AddPlayer({.id = 11, .eosId = u"eos-ann", .characterName = u"Ann", .online = true});
        world.AddPlayer({.id = 12, .eosId = u"eos-bob", .knownToGameMode = true});
        world.AddTribe(
            {.id = LoopTribe, .memberNames = {u"Ann", u"Bob", u"Cy"}, .memberIds = {11, 12}});
        world.AddDino(Creature("rex", u"Rex", LoopTribe, 1200));
        world.AddDino(Creature("giga", u"Giganotosaurus", LoopTribe, 600));
        world.AddDino(Creature("raptor", u"Raptor", 100, 550));
        world.AddDino(Creature("dodo", u"Dodo", 100, 1));
        DinoSpec incoherent = Creature("ptera", u"Pteranodon", LoopTribe, 20);
        incoherent.levelUpPoints = CoherentPoints(5);
        world.AddDino(incoherent);
        DinoSpec strong = Creature("stego", u"Stegosaurus", 11, 10);
        strong.currentStatus[0] = 50000;
        world.AddDino(strong);
        DinoSpec boss = Creature("boss", u"Broodmother", LoopTribe, 2000);
        boss.boss = true;
        world.AddDino(boss);
        world.AddDino(Creature("titan", u"Titanosaur", LoopTribe, 2000));
        world.AddDino(Creature("pet", u"Pet", LoopTribe, 2000));
        world.AddDino(Creature("trike", u"Triceratops", LoopTribe, 30));
    }

    void Load(LifeRecord& run) {
        run.loadStarts.push_back(host.events.All().size());
        plugin = std::make_unique<standin::PluginLibrary>(TAMEWARDEN_PLUGIN_PATH);
    }

    void Unload(LifeRecord& run) {
        if (!plugin->Unload()) run.escapes.push_back("the library stayed loaded after unload");
        plugin.reset();
        std::vector<std::string> left = host.commands.Registered();
        if (host.hooks.IsHooked(Game::BeginPlayName)) left.push_back(Game::BeginPlayName);
        run.leftRegistered.push_back(left);
        // What the plugin left leads into a library that is gone: never called, never destroyed.
        host.commands.Abandon();
        host.hooks.Clear();
    }

    void Spawn(LifeRecord& run, const DinoSpec& creature) {
        try {
            host.world->SpawnDino(creature);
        } catch (...) {
            run.escapes.push_back("an exception left the BeginPlay hook");
        }
    }

    // Skips the check delay on the game clock, then lets the host tick a few times.
    void TicksAfterTheDelay() {
        host.clockAdvance += std::chrono::milliseconds(1100);
        for (int tick = 0; tick < 3; ++tick) host.commands.RunUpdateCallbacks(0.01f);
    }

    LifeRecord Life() {
        LifeRecord run;
        Fresh();
        standin::World& world = *host.world;
        Load(run);
        Spawn(run, Creature("carno", u"Carnotaurus", LoopTribe, 1100));
        Spawn(run, Creature("dilo", u"Dilophosaur", 100, 1));
        TicksAfterTheDelay();
        WriteConfigJson(SecondConfig());
        run.firstReload = host.events.All().size();
        host.commands.ExecuteConsole("tmwd.reload", world.AdminPlayer());
        Spawn(run, Creature("compy", u"Compy", 100, 1));
        TicksAfterTheDelay();
        WriteConfig("{\"DestroyDinosOverLevel\": ");
        host.commands.ExecuteRcon("tmwd.reload", nullptr, 7);
        host.commands.ExecuteRcon("tmwd.status", nullptr, 8);
        host.commands.ExecuteConsole("tmwd.preview preview.json", world.AdminPlayer());
        Unload(run);
        WriteConfigJson(SecondConfig());
        world.AddDino(Creature("spino", u"Spinosaurus", LoopTribe, 1500));
        Load(run);
        Unload(run);
        run.events = host.events.All();
        std::ifstream journal(PluginFolder() / "destroyed.jsonl");
        for (std::string line; std::getline(journal, line);) run.journal.push_back(line);
        return run;
    }

    // The creature's key, by the name its reports and log lines give.
    static std::string KeyOfName(const std::string& name) {
        static const std::map<std::string, std::string> keys = {
            {"Rex", "rex"},           {"Giganotosaurus", "giga"}, {"Raptor", "raptor"},
            {"Dodo", "dodo"},         {"Pteranodon", "ptera"},    {"Stegosaurus", "stego"},
            {"Carnotaurus", "carno"}, {"Dilophosaur", "dilo"},    {"Compy", "compy"},
            {"Spinosaurus", "spino"}};
        const auto found = keys.find(name);
        return found != keys.end() ? found->second : name;
    }

    // The creature a destroying claim names, or empty when the text claims no destruction.
    static std::string ClaimedCreature(const std::string& text) {
        static const TextPattern claim(
            R"((?:^|\] )(?:Destroyed|DELETED|Deleted \*\*incoherent\*\*|Deleted \*\*over stat limit\*\*) dino\(([^)]*)\))");
        const auto match = claim.Search(text);
        return match ? KeyOfName((*match)[1]) : std::string();
    }

    static std::vector<std::string> Violations(const LifeRecord& run,
                                               const std::set<std::string>& failed, bool thrown) {
        std::vector<std::string> broken;
        const auto said = [&](size_t from, size_t to, const std::string& part, const char* type,
                              const char* level) {
            for (size_t at = from; at < to; ++at) {
                const auto& event = run.events[at];
                if (event.at("type") == type &&
                    event.at("text").get<std::string>().find(part) != std::string::npos &&
                    (level == nullptr || event.at("level") == level))
                    return true;
            }
            return false;
        };
        const auto logged = [&](size_t from, size_t to, const std::string& part,
                                const char* level) { return said(from, to, part, "log", level); };
        // 1. Nothing leaves the plugin.
        for (const std::string& escape : run.escapes) broken.push_back("1: " + escape);
        for (const auto& event : run.events)
            if (event.at("type") == "uncaught")
                broken.push_back("1: " + event.at("where").get<std::string>() + " raised " +
                                 event.at("what").get<std::string>());
        const bool destroyCallFailed = failed.contains(DestroyFunction);
        for (size_t load = 0; load < run.loadStarts.size(); ++load) {
            const size_t from = run.loadStarts[load];
            const size_t to =
                load + 1 < run.loadStarts.size() ? run.loadStarts[load + 1] : run.events.size();
            // 2. Every claim of a destruction belongs to a destroy call, and none is made twice.
            std::map<std::string, int> logClaims, postClaims;
            std::set<std::string> destroyed;
            for (size_t at = from; at < to; ++at) {
                const auto& event = run.events[at];
                const std::string type = event.at("type");
                if (type == "destroyed") destroyed.insert(event.at("creature").get<std::string>());
                if (type == "log") {
                    const std::string key = ClaimedCreature(event.at("text"));
                    if (!key.empty()) ++logClaims[key];
                }
                if (type == "post") {
                    const auto body = nlohmann::json::parse(event.at("body").get<std::string>());
                    const std::string key = ClaimedCreature(body.at("content"));
                    if (!key.empty()) ++postClaims[key];
                }
            }
            for (const auto* claims : {&logClaims, &postClaims})
                for (const auto& [key, count] : *claims) {
                    if (count > 1)
                        broken.push_back("2: " + key + " claimed " + std::to_string(count) +
                                         " times in load " + std::to_string(load + 1));
                    if (!destroyed.contains(key) && !destroyCallFailed)
                        broken.push_back("2: " + key + " claimed destroyed with no destroy call");
                }
            // 4. The load's steps after a failed one did not run, those before it did, until a
            // good reload finishes a load the config stopped. Only tmwd.reload is registered for
            // that, and only when the failure line says so.
            const size_t loadEnd =
                run.firstReload > from && run.firstReload < to ? run.firstReload : to;
            std::string stoppedAt;
            bool waitsForReload = false;
            for (size_t at = from; at < loadEnd; ++at) {
                const auto& event = run.events[at];
                if (event.at("type") != "log") continue;
                static const TextPattern stop(
                    R"(^Failed to load TameWarden! \n stopped at (.*?): )");
                if (const auto match = stop.Search(event.at("text"))) {
                    stoppedAt = (*match)[1];
                    waitsForReload = event.at("text").get<std::string>().ends_with(
                        "; fix the file and run tmwd.reload");
                }
            }
            const auto happened = [&](const std::string& type, const std::string& name) {
                for (size_t at = from; at < loadEnd; ++at) {
                    const auto& event = run.events[at];
                    if (event.at("type") == type &&
                        (name.empty() || event.value("name", event.value("function", "")) == name))
                        return true;
                }
                return false;
            };
            const bool hooked = happened("hookInstalled", "");
            const bool reloadRegistered = happened("consoleCommandRegistered", "tmwd.reload");
            const bool stepsAfterReloadRan = happened("consoleCommandRegistered", "tmwd.release");
            const bool anyLog = logged(from, loadEnd, "", nullptr);
            const std::string where = " in load " + std::to_string(load + 1);
            if (stoppedAt.empty() && anyLog &&
                (!hooked || !reloadRegistered || !happened("rconCommandRegistered", "tmwd.reload")))
                broken.push_back("4: a load step did not run and no failure says why" + where);
            if (stoppedAt == "reading the config" || stoppedAt == "installing the BeginPlay hook" ||
                (!anyLog && !hooked)) {
                if (happened("destroyed", "") || stepsAfterReloadRan ||
                    (reloadRegistered && !waitsForReload))
                    broken.push_back("4: steps after " + stoppedAt + " ran" + where);
            }
            if (stoppedAt == "reading the config" && hooked)
                broken.push_back("4: the hook was installed after reading the config failed" +
                                 where);
            if ((stoppedAt == "the start-up sweep" || stoppedAt == "registering tmwd.reload") &&
                !hooked)
                broken.push_back("4: the hook was not installed before " + stoppedAt + where);
            if (stoppedAt == "the start-up sweep" &&
                (stepsAfterReloadRan || (reloadRegistered && !waitsForReload)))
                broken.push_back("4: tmwd.reload was registered after the sweep stopped" + where);
            // 5. Nothing stays registered after unload, but what the host refused to remove,
            // which one critical line names.
            if (load < run.leftRegistered.size())
                for (const std::string& left : run.leftRegistered[load]) {
                    const std::string name = left.substr(left.find(' ') + 1);
                    if (!logged(from, to, name, "critical"))
                        broken.push_back("5: " + left + " stays registered, and no line says so" +
                                         where);
                }
        }
        // 3. Every destroyed creature is on record, or its record is counted as not written, which
        // a critical line says; seq goes up strictly.
        std::set<std::string> recorded;
        uint64_t lastSeq = 0;
        for (const std::string& line : run.journal) {
            const auto record = nlohmann::json::parse(line, nullptr, false);
            if (!record.is_object() || !record.contains("seq") || !record.contains("creature")) {
                broken.push_back("3: a journal line is not a whole record: " + line.substr(0, 80));
                continue;
            }
            const uint64_t seq = record.at("seq");
            if (seq <= lastSeq)
                broken.push_back("3: seq " + std::to_string(seq) + " after " +
                                 std::to_string(lastSeq));
            lastSeq = seq;
            recorded.insert(KeyOfName(record.at("creature")));
        }
        const bool journalTroubleLogged =
            logged(0, run.events.size(), "destruction journal", "critical");
        for (const auto& event : run.events)
            if (event.at("type") == "destroyed" && !recorded.contains(event.at("creature")) &&
                !journalTroubleLogged)
                broken.push_back("3: " + event.at("creature").get<std::string>() +
                                 " was destroyed with no record and no word of it");
        // 6. Every failure that was contained left a line that names it, in the log or in the
        // reply of the command that met it (a preview logs nothing); but for the host's own log
        // sinks, without which no logger can be made.
        // A file operation fails like a full disk, which the journal's line names.
        const bool loggerMade = !failed.contains("GetLogSinks");
        const bool fileFailed = std::any_of(failed.begin(), failed.end(), [](const auto& name) {
            return name.starts_with("SystemFiles ");
        });
        const std::string fault = fileFailed && failed.size() == 1
                                      ? std::strerror(ENOSPC)
                                      : std::string("simulated fault in");
        if (thrown && loggerMade && !logged(0, run.events.size(), fault, nullptr) &&
            !said(0, run.events.size(), fault, "reply", nullptr))
            broken.push_back("6: a failure left no line that names it");
        return broken;
    }
};

// The runs are dealt to shards by N, so that the test runner spreads them over the cores.
constexpr uint64_t Shards = 4;

TEST_P(FaultLoopTest, EveryHostOperationFailingOnceOrForGoodKeepsTheInvariants) {
    const std::string pluginFile = fs::path(TAMEWARDEN_PLUGIN_PATH).filename().string();
    host.faults.Count(pluginFile);
    currentRun = "the run without faults";
    const LifeRecord clean = Life();
    const std::vector<Faults::Operation> operations = host.faults.Operations();
    host.faults.Stop();
    ASSERT_GT(operations.size(), 100u);
    ASSERT_TRUE(Violations(clean, {}, false).empty())
        << "the run without faults: " << testing::PrintToString(Violations(clean, {}, false));
    ASSERT_FALSE(clean.journal.empty());

    std::map<std::string, std::string> firstBreak;  // by invariant text: the run that broke it
    size_t runs = 0;
    for (uint64_t n = 1 + GetParam(); n <= operations.size(); n += Shards) {
        const Faults::Operation& operation = operations[n - 1];
        std::vector<std::pair<Faults::Span, Faults::Kind>> plans = {
            {Faults::Span::Once, Faults::Kind::Throw},
            {Faults::Span::FromThereOn, Faults::Kind::Throw}};
        if (operation.nullable) {
            plans.push_back({Faults::Span::Once, Faults::Kind::NullWhereAllowed});
            plans.push_back({Faults::Span::FromThereOn, Faults::Kind::NullWhereAllowed});
        }
        for (const auto& [span, kind] : plans) {
            currentRun = "run N=" + std::to_string(n) + " (" + operation.name + ", " +
                         (span == Faults::Span::Once ? "once" : "from there on") +
                         (kind == Faults::Kind::Throw ? ", thrown" : ", null") + ")";
            host.faults.Arm(pluginFile, n, span, kind);
            const LifeRecord run = Life();
            const std::set<std::string> failed = host.faults.Failed();
            host.faults.Stop();
            ++runs;
            // Only a single null answer fails nothing by throwing.
            const bool thrown =
                !(span == Faults::Span::Once && kind == Faults::Kind::NullWhereAllowed);
            for (const std::string& broken : Violations(run, failed, thrown))
                firstBreak.emplace(broken, currentRun + ", which failed " +
                                               (failed.empty() ? "nothing" : *failed.begin()));
        }
    }
    std::printf("fault loop, shard %llu of %llu: %zu host operations, %zu runs\n",
                static_cast<unsigned long long>(GetParam() + 1),
                static_cast<unsigned long long>(Shards), operations.size(), runs);
    for (const auto& [broken, where] : firstBreak)
        ADD_FAILURE() << "invariant " << broken << "\n  first in " << where;
}

INSTANTIATE_TEST_SUITE_P(Shard, FaultLoopTest, testing::Range<uint64_t>(0, Shards));

}  // namespace

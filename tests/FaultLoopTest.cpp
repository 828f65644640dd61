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
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audit/AuditRules.h"
#include "host/Game.h"
#include "standin/RecordingSink.h"
#include "tests/PluginFixture.h"
#include "tests/TextPattern.h"

namespace fs = std::filesystem;
using standin::DinoSpec;
using standin::Faults;

namespace {

constexpr int32_t LoopTribe = 1000060001;

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

// What the life needs of each rule of the rule table: a creature it acts on, in the world at load,
// and the configuration that switches it on (to destroy, where it can). No default: a rule added
// to the table without its entry here does not build.
struct LoopRule {
    DinoSpec creature;
    nlohmann::json config;
};

LoopRule LoopRuleOf(AuditRule rule) {
    switch (rule) {
        case AuditRule::OverLevel:
            return {Creature("rex", u"Rex", LoopTribe, 1200), {{"DestroyDinosOverLevel", 1000}}};
        case AuditRule::LevelWarning:
            return {Creature("giga", u"Giganotosaurus", LoopTribe, 600),
                    {{"EnableLevelWarning", true}, {"LevelWarningThreshold", 500}}};
        case AuditRule::MinimumLevel:
            return {Creature("dodo", u"Dodo", 100, 1),
                    {{"MinDinoLevel", 2}, {"AutoDestroyDinosBelowMinLevel", true}}};
        case AuditRule::Incoherent: {
            DinoSpec incoherent = Creature("ptera", u"Pteranodon", LoopTribe, 20);
            incoherent.levelUpPoints = CoherentPoints(5);
            return {incoherent, {{"DestroyIncoherentDinos", true}}};
        }
        case AuditRule::StatLimit: {
            DinoSpec strong = Creature("stego", u"Stegosaurus", 11, 10);
            strong.currentStatus[0] = 50000;
            return {
                strong,
                {{"DestroyDinosOverStatValue", true}, {"StatValueLimits", {{"Health", 20000}}}}};
        }
    }
    return {};
}

nlohmann::json FirstConfig() {
    nlohmann::json config = {{"WhitelistedDinos", {"Pet"}},
                             {"LevelWarningWebhook", "http://127.0.0.1:9/webhook"}};
    for (const RuleIdentity& rule : AuditRules) config.update(LoopRuleOf(rule.rule).config);
    return config;
}

// After the reload the minimum level only reports.
nlohmann::json SecondConfig() {
    nlohmann::json config = FirstConfig();
    config["AutoDestroyDinosBelowMinLevel"] = false;
    return config;
}

// Journal files rotate this soon in the loop, so that a life rotates them.
constexpr uint64_t LoopRotationBytes = 2500;

// What one run of the life left: its events in order, where each load and unload began in them,
// and the journal's lines, file by file.
struct LifeRecord {
    std::vector<nlohmann::json> events;
    std::vector<size_t> loadStarts;  // two loads: [load, unload) slices end at the next start
    size_t firstReload = 0;          // where the first tmwd.reload began: it may finish a load
    // The journal's files before the folder went, and at the end: each a journal of its own.
    std::vector<std::vector<std::vector<std::string>>> journal;
    std::vector<std::string> destroyedUnrecorded;  // destroyed with no record written before
    std::vector<std::string> escapes;              // exceptions that reached the harness
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

    void FreshFolder(const nlohmann::json& config) {
        fs::create_directories(PluginFolder());
        std::ofstream(PluginFolder() / "preview.json") << SecondConfig().dump();
        WriteConfigJson(config);
    }

    // Each journal file's lines, in no order of the files.
    std::map<std::string, std::string> keyOfName;  // of the creatures of the life's world

    std::vector<std::vector<std::string>> JournalFiles() const {
        std::vector<std::vector<std::string>> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(PluginFolder(), error)) {
            const std::string name = entry.path().filename().string();
            if (!name.starts_with("destroyed") || !name.ends_with(".jsonl")) continue;
            std::ifstream in(entry.path(), std::ios::binary);
            auto& lines = files.emplace_back();
            for (std::string line; std::getline(in, line);) lines.push_back(line);
        }
        return files;
    }

    // Write-ahead: when the game destroys a creature, a whole record of it, not marked not done,
    // is in the journal already.
    void WatchDestructions(LifeRecord& run) {
        host.events.SetListener([this, &run](const nlohmann::json& event) {
            if (event.value("type", "") != "destroyed") return;
            const std::string key = event.at("creature");
            std::map<uint64_t, std::string> records;
            std::set<uint64_t> notDone;
            for (const auto& file : JournalFiles())
                for (const std::string& line : file) {
                    const auto record = nlohmann::json::parse(line, nullptr, false);
                    if (!record.is_object()) continue;
                    if (record.contains("notDone")) notDone.insert(record.value("notDone", 0u));
                    if (record.contains("seq") && record.contains("creature"))
                        records[record.at("seq")] = KeyOfName(record.at("creature"));
                }
            for (const auto& [seq, creature] : records)
                if (creature == key && !notDone.contains(seq)) return;
            run.destroyedUnrecorded.push_back(key);
        });
    }

    void Fresh() {
        host.Reset();
        host.logSinks = {std::make_shared<standin::RecordingSink>()};
        host.currentDir = serverDir.string();
        host.sendRequests = false;
        host.unsentPosts = standin::Host::UnsentPosts::Accepted;
        host.journalRotationBytes = LoopRotationBytes;
        fs::remove_all(PluginFolder());
        FreshFolder(FirstConfig());
        standin::World& world = MakeWorld();
        world.AddPlayer({.id = 11, .eosId = u"eos-ann", .characterName = u"Ann", .online = true});
        world.AddPlayer({.id = 12, .eosId = u"eos-bob", .knownToGameMode = true});
        world.AddTribe(
            {.id = LoopTribe, .memberNames = {u"Ann", u"Bob", u"Cy"}, .memberIds = {11, 12}});
        keyOfName.clear();
        for (const RuleIdentity& rule : AuditRules) AddCreature(LoopRuleOf(rule.rule).creature);
        AddCreature(Creature("raptor", u"Raptor", 100, 550));
        DinoSpec boss = Creature("boss", u"Broodmother", LoopTribe, 2000);
        boss.boss = true;
        AddCreature(boss);
        AddCreature(Creature("titan", u"Titanosaur", LoopTribe, 2000));
        AddCreature(Creature("pet", u"Pet", LoopTribe, 2000));
        AddCreature(Creature("trike", u"Triceratops", LoopTribe, 30));
    }

    // The names in the world are ASCII: their texts in reports and lines are the same.
    void NameCreature(const DinoSpec& creature) {
        keyOfName[std::string(creature.name.begin(), creature.name.end())] = creature.key;
    }
    void AddCreature(const DinoSpec& creature) {
        NameCreature(creature);
        host.world->AddDino(creature);
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
        NameCreature(creature);
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
        WatchDestructions(run);
        standin::World& world = *host.world;
        Load(run);
        Spawn(run, Creature("carno", u"Carnotaurus", LoopTribe, 1100));
        Spawn(run, Creature("dilo", u"Dilophosaur", 100, 1));
        TicksAfterTheDelay();
        // The folder goes while the server runs: the journal opens its file again at the path.
        run.journal.push_back(JournalFiles());
        fs::remove_all(PluginFolder());
        FreshFolder(SecondConfig());
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
        AddCreature(Creature("spino", u"Spinosaurus", LoopTribe, 1500));
        Load(run);
        Unload(run);
        host.events.SetListener(nullptr);
        run.events = host.events.All();
        run.journal.push_back(JournalFiles());
        return run;
    }

    // The creature's key, by the name its reports and log lines give.
    std::string KeyOfName(const std::string& name) const {
        const auto found = keyOfName.find(name);
        return found != keyOfName.end() ? found->second : name;
    }

    // The creature a destroying claim names (its key), none when the text claims no destruction.
    // The claims are the destroying posts of the rule table's rows and the log's "Destroyed"
    // lines, so a new destroying rule's claims are looked for without a word here.
    std::optional<std::string> ClaimedCreature(const std::string& text) const {
        static const TextPattern claim = [] {
            std::string phrases = "Destroyed";
            for (const RuleIdentity& rule : AuditRules) {
                const std::string_view post = rule.destroyedPost;
                const size_t creature = post.find("dino({})");
                if (creature == std::string_view::npos) continue;
                // The words before the creature, after the map's "] " or the heading's "# ".
                std::string_view phrase = post.substr(0, creature);
                const size_t bracket = phrase.rfind("] "), heading = phrase.rfind("# ");
                if (bracket != std::string_view::npos)
                    phrase.remove_prefix(bracket + 2);
                else if (heading != std::string_view::npos)
                    phrase.remove_prefix(heading + 2);
                std::string escaped;
                for (const char character : phrase.substr(0, phrase.size() - 1)) {
                    if (std::string_view(".*+?()[]{}|^$\\").find(character) !=
                        std::string_view::npos)
                        escaped += '\\';
                    escaped += character;
                }
                phrases += "|" + escaped;
            }
            return TextPattern("(?:^|^# |\\] )(?:" + phrases + ") dino\\(([^)]*)\\)");
        }();
        const auto match = claim.Search(text);
        if (!match) return std::nullopt;
        return KeyOfName((*match)[1]);
    }

    // The creature a not-destroyed line names, or empty.
    std::string NotDestroyedCreature(const std::string& text) const {
        static const TextPattern line(R"(^Not destroyed: dino\(([^)]*)\))");
        const auto match = line.Search(text);
        return match ? KeyOfName((*match)[1]) : std::string();
    }

    // `named` holds the texts of which a line must hold one to name the failure, none when
    // nothing failed.
    std::vector<std::string> Violations(const LifeRecord& run,
                                        const std::vector<std::string>& named,
                                        bool writeFailed = false) const {
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
        // A report the outbox's spool carried over from an earlier load claims its destruction.
        std::set<std::string> destroyed;
        for (size_t load = 0; load < run.loadStarts.size(); ++load) {
            const size_t from = run.loadStarts[load];
            const size_t to =
                load + 1 < run.loadStarts.size() ? run.loadStarts[load + 1] : run.events.size();
            // 2. Every claim of a destruction (a "Destroyed" line, a destroying post) goes with a
            // destroy call that destroyed, or is followed by the line that says it did not; none
            // is made twice.
            std::map<std::string, int> logClaims, postClaims;
            std::map<std::string, size_t> lastClaim;     // by creature: the event of its last claim
            std::map<std::string, size_t> notDestroyed;  // by creature: the event of its last line
            for (size_t at = from; at < to; ++at) {
                const auto& event = run.events[at];
                const std::string type = event.at("type");
                if (type == "destroyed") destroyed.insert(event.at("creature").get<std::string>());
                std::optional<std::string> claimed;
                if (type == "log") {
                    claimed = ClaimedCreature(event.at("text"));
                    if (claimed) ++logClaims[*claimed];
                    const std::string refused = NotDestroyedCreature(event.at("text"));
                    if (!refused.empty()) notDestroyed[refused] = at;
                }
                if (type == "post") {
                    const auto body = nlohmann::json::parse(event.at("body").get<std::string>());
                    claimed = ClaimedCreature(body.at("content"));
                    if (claimed) ++postClaims[*claimed];
                }
                if (claimed) lastClaim[*claimed] = at;
            }
            for (const auto* claims : {&logClaims, &postClaims})
                for (const auto& [key, count] : *claims)
                    if (count > 1)
                        broken.push_back("2: " + key + " claimed " + std::to_string(count) +
                                         " times in load " + std::to_string(load + 1));
            for (const auto& [key, at] : lastClaim) {
                const auto refused = notDestroyed.find(key);
                if (!destroyed.contains(key) &&
                    (refused == notDestroyed.end() || refused->second < at))
                    broken.push_back("2: " + key +
                                     " claimed destroyed, neither destroyed nor said not to be");
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
        // 3. Every creature the game destroyed had its record written before the destroy call
        // (or was held, and not destroyed); seq goes up within each file and never repeats.
        for (const std::string& key : run.destroyedUnrecorded)
            broken.push_back("3: " + key + " was destroyed with no record written before");
        for (const auto& journal : run.journal) {
            std::set<uint64_t> seqs;
            for (const auto& file : journal) {
                uint64_t lastSeq = 0;
                for (const std::string& line : file) {
                    const auto record = nlohmann::json::parse(line, nullptr, false);
                    if (record.is_object() && record.contains("notDone")) continue;
                    // A write that failed part way leaves the start of a line, which readers skip.
                    if (!record.is_object() && writeFailed && line.starts_with("{\"time\":"))
                        continue;
                    if (!record.is_object() || !record.contains("seq") ||
                        !record.contains("creature")) {
                        broken.push_back("3: a journal line is not a whole record: " +
                                         line.substr(0, 80));
                        continue;
                    }
                    const uint64_t seq = record.at("seq");
                    if (seq <= lastSeq)
                        broken.push_back("3: seq " + std::to_string(seq) + " after " +
                                         std::to_string(lastSeq));
                    if (!seqs.insert(seq).second)
                        broken.push_back("3: seq " + std::to_string(seq) + " twice in the journal");
                    lastSeq = seq;
                }
            }
        }
        // 6. Every failure that was contained left a line that names it, in the log or in the
        // reply of the command that met it (a preview logs nothing): the failed operation, or for
        // a file operation the system's error; but for the host's own log sinks, without which no
        // logger can be made.
        const bool namedAny = std::any_of(named.begin(), named.end(), [&](const std::string& text) {
            return logged(0, run.events.size(), text, nullptr) ||
                   said(0, run.events.size(), text, "reply", nullptr);
        });
        if (!named.empty() && !namedAny)
            broken.push_back("6: a failure left no line that names it (" + named.front() + ")");
        return broken;
    }
};

// The runs are dealt to shards by N, so that the test runner spreads them over the cores.
constexpr uint64_t Shards = 4;

// The ways to fail an operation of this shape, each once and from there on.
std::vector<std::pair<Faults::Span, Faults::Kind>> Plans(Faults::Shape shape,
                                                         const std::string& name) {
    using enum Faults::Span;
    using enum Faults::Kind;
    std::vector<std::pair<Faults::Span, Faults::Kind>> plans = {{Once, Throw},
                                                                {FromThereOn, Throw}};
    if (shape == Faults::Shape::Nullable)
        plans.insert(plans.end(), {{Once, NullWhereAllowed}, {FromThereOn, NullWhereAllowed}});
    if (shape == Faults::Shape::Refusable)
        plans.insert(plans.end(), {{Once, AnswerFalse}, {FromThereOn, AnswerFalse}});
    if (shape == Faults::Shape::File) {
        plans.insert(plans.end(), {{Once, IoError}, {FromThereOn, PermissionError}});
        if (name.ends_with("AppendBytes")) plans.push_back({Once, PartialWrite});
    }
    return plans;
}

// The failure of `operation` this way, as a line must name it: the operation, or for a file
// operation the system's error. Failing from there on, any operation that failed may be the one
// named, as what failed first can stop what would have said it.
std::vector<std::string> NamedFailures(const Faults::Operation& operation, Faults::Span span,
                                       Faults::Kind kind, const std::set<std::string>& failed) {
    using enum Faults::Kind;
    if (failed.contains("GetLogSinks")) return {};  // no logger is left to say it
    std::vector<std::string> named;
    const std::string fileError = std::strerror(kind == IoError           ? EIO
                                                : kind == PermissionError ? EACCES
                                                                          : ENOSPC);
    if (operation.shape == Faults::Shape::File)
        named.push_back(fileError);
    else if (kind == AnswerFalse)
        named.push_back(operation.name + " answered false");
    else if (kind == Throw)
        named.push_back("simulated fault in " + operation.name);
    if (span == Faults::Span::FromThereOn)
        for (const std::string& name : failed)
            named.push_back(name.starts_with("SystemFiles ") ? fileError
                                                             : "simulated fault in " + name);
    return named;  // a single null answer fails nothing
}

const char* KindName(Faults::Kind kind) {
    switch (kind) {
        case Faults::Kind::Throw:
            return "thrown";
        case Faults::Kind::NullWhereAllowed:
            return "null";
        case Faults::Kind::AnswerFalse:
            return "false";
        case Faults::Kind::IoError:
            return "I/O error";
        case Faults::Kind::PermissionError:
            return "permission error";
        case Faults::Kind::PartialWrite:
            return "part written";
    }
    return "";
}

TEST_P(FaultLoopTest, EveryHostOperationFailingOnceOrForGoodKeepsTheInvariants) {
    const std::string pluginFile = fs::path(TAMEWARDEN_PLUGIN_PATH).filename().string();
    host.faults.Count(pluginFile);
    currentRun = "the run without faults";
    const LifeRecord clean = Life();
    const std::vector<Faults::Operation> operations = host.faults.Operations();
    host.faults.Stop();
    ASSERT_GT(operations.size(), 100u);
    ASSERT_TRUE(Violations(clean, {}).empty())
        << "the run without faults: " << testing::PrintToString(Violations(clean, {}));
    // The life does what the invariants look at: claims of every destroying rule, rotations and
    // a journal folder removed under the server.
    std::set<std::string> claimed;
    for (const auto& event : clean.events) {
        std::optional<std::string> key;
        if (event.at("type") == "log") key = ClaimedCreature(event.at("text"));
        if (event.at("type") == "post")
            key = ClaimedCreature(
                nlohmann::json::parse(event.at("body").get<std::string>()).at("content"));
        if (key) claimed.insert(*key);
    }
    for (const RuleIdentity& rule : AuditRules) {
        if (!rule.CanDestroy()) continue;
        EXPECT_TRUE(claimed.contains(LoopRuleOf(rule.rule).creature.key))
            << rule.name << ": its creature claimed in the run without faults";
    }
    for (const char* key : {"carno", "dilo", "spino"})
        EXPECT_TRUE(claimed.contains(key)) << key << " claimed in the run without faults";
    ASSERT_EQ(clean.journal.size(), 2u);
    size_t records = 0, files = 0;
    for (const auto& journal : clean.journal) {
        files += journal.size();
        for (const auto& file : journal) records += file.size();
    }
    EXPECT_GE(files, 3u) << "journal files: the life rotates them";
    EXPECT_GE(records, 7u);

    std::map<std::string, std::string> firstBreak;  // by invariant text: the run that broke it
    size_t runs = 0;
    for (uint64_t n = 1 + GetParam(); n <= operations.size(); n += Shards) {
        const Faults::Operation& operation = operations[n - 1];
        for (const auto& [span, kind] : Plans(operation.shape, operation.name)) {
            currentRun = "run N=" + std::to_string(n) + " (" + operation.name + ", " +
                         (span == Faults::Span::Once ? "once" : "from there on") + ", " +
                         KindName(kind) + ")";
            host.faults.Arm(pluginFile, n, span, kind);
            const LifeRecord run = Life();
            const std::set<std::string> failed = host.faults.Failed();
            host.faults.Stop();
            ++runs;
            for (const std::string& broken :
                 Violations(run, NamedFailures(operation, span, kind, failed),
                            failed.contains("SystemFiles AppendBytes")))
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

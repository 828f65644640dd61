#include "checker/DryRun.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "audit/AuditEffects.h"
#include "host/LibraryEntry.h"
#include "plugin/Timer.h"
#include "standin/Host.h"
#include "standin/RecordingSink.h"
#include "standin/TemporaryFolder.h"
#include "standin/Text.h"
#include "standin/WorldFile.h"

namespace fs = std::filesystem;

namespace checker {
namespace {

// A server folder of its own, removed when the run ends, so the operator's files stay untouched.
class TemporaryServer {
public:
    explicit TemporaryServer(const fs::path& configPath)
        : folder(standin::MakeTemporaryFolder("tamewarden-check-")) {
        const fs::path pluginFolder = folder / "ArkApi" / "Plugins" / "TameWarden";
        fs::create_directories(pluginFolder);
        fs::copy_file(configPath, pluginFolder / "config.json");
    }
    ~TemporaryServer() {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    TemporaryServer(const TemporaryServer&) = delete;
    TemporaryServer& operator=(const TemporaryServer&) = delete;

    fs::path folder;
};

// Leaves the process-wide stand-in host as it found it, also when the run throws.
class HostSession {
public:
    explicit HostSession(const fs::path& serverFolder) {
        standin::Host& host = standin::Host::Get();
        host.Reset();
        host.currentDir = serverFolder.string();
        host.recordResolutions = true;
        host.logSinks = {std::make_shared<standin::RecordingSink>()};
    }
    ~HostSession() {
        standin::Host& host = standin::Host::Get();
        host.world.reset();
        host.logSinks.clear();
        host.Reset();
    }
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;
};

// The checks' effects, written into the host's event record beside the creatures the checks
// resolved, instead of being carried out.
class RecordedEffects : public AuditEffects {
public:
    void RulesBegin(APrimalDinoCharacter* dino) override {
        Record({{"type", "rulesBegin"},
                {"creature", reinterpret_cast<AActor*>(dino)->Key},
                {"description", DescribeForOperator(dino)}});
    }
    void LogDestroyed(const std::string& line) override {
        Record({{"type", "log"}, {"level", "warning"}, {"text", line}});
    }
    void Post(const Report& report) override {
        Record({{"type", "report"},
                {"rule", RuleName(report.rule)},
                {"url", report.url},
                {"message", report.message},
                {"bodies", report.bodies}});
    }
    bool Destroy(APrimalDinoCharacter* dino, AuditRule rule, Game::DestroyFunction*) override {
        Record({{"type", "destroyed"},
                {"creature", reinterpret_cast<AActor*>(dino)->Key},
                {"rule", RuleName(rule)}});
        return true;
    }
    // The game mode learns nothing from a dry run.
    void AddPlayerId(AShooterGameMode*, int32_t, const FString&) override {}

private:
    static void Record(nlohmann::json event) {
        standin::Host::Get().events.Record(std::move(event));
    }
};

// Puts the recorder in place of the live effects for as long as the run lasts.
class RecordingSession {
public:
    RecordingSession() { ReplaceServerEffects(&effects); }
    ~RecordingSession() { ReplaceServerEffects(nullptr); }
    RecordingSession(const RecordingSession&) = delete;
    RecordingSession& operator=(const RecordingSession&) = delete;

private:
    RecordedEffects effects;
};

std::optional<AuditRule> RuleNamed(const std::string& name) {
    for (const RuleIdentity& identity : AllRules())
        if (name == identity.name) return identity.rule;
    return std::nullopt;
}

// A check's line in the log when it fails: at load, or in the deferred queue.
bool IsCheckFailure(const nlohmann::json& event) {
    const std::string text = event.value("text", "");
    return event.value("level", "") == "critical" &&
           (text.starts_with("Failed to load ") || text.starts_with("Deferred creature check"));
}

// One creature's check as the events tell it, from the resolution of its reference on.
struct CheckSoFar {
    std::string creature;
    std::string description;
    bool open = false;
    bool reachedRules = false;
    std::optional<AuditRule> actedBy;
    bool destroyed = false;
};

// Each report belongs to the creature that the check before it resolved; a destruction in that
// same check, before or after the report, marks it destroyed. A check is counted when the next
// one begins, unless its failure was logged first.
DryRunResult Collect(const std::vector<nlohmann::json>& events) {
    DryRunResult result;
    CheckSoFar check;
    size_t firstFindingOfCheck = 0;
    std::set<std::string> despawned;  // removed by the world, not by a check
    const auto finish = [&] {
        if (check.open)
            CountCheck(result.tallies, check.reachedRules, check.actedBy, check.destroyed);
        check = {};
    };
    const auto acted = [&](const nlohmann::json& event) {
        if (!check.actedBy) check.actedBy = RuleNamed(event.value("rule", ""));
    };
    for (const nlohmann::json& event : events) {
        const std::string type = event.value("type", "");
        if (type == "despawn") {
            despawned.insert(event.value("creature", ""));
        } else if (type == "resolved") {
            finish();
            check.creature = event.value("creature", "");
            check.open = true;
            firstFindingOfCheck = result.findings.size();
        } else if (type == "rulesBegin") {
            check.reachedRules = true;
            check.description = event.value("description", "");
        } else if (type == "destroyed" && despawned.count(event.value("creature", "")) == 0) {
            result.destroyed.push_back(event.value("creature", ""));
            acted(event);
            check.destroyed = true;
            for (size_t index = firstFindingOfCheck; index < result.findings.size(); ++index)
                result.findings[index].destroyed = true;
        } else if (type == "report") {
            acted(event);
            Finding finding{event.at("rule"),   check.destroyed, check.creature,
                            check.description,  event.at("url"), event.at("bodies"),
                            event.at("message")};
            for (const std::string& body : finding.bodies)
                result.posts.push_back({{"url", finding.url}, {"body", body}});
            result.findings.push_back(std::move(finding));
        } else if (type == "log") {
            result.logs.push_back(
                {{"level", event.value("level", "")}, {"text", event.value("text", "")}});
            if (check.open && IsCheckFailure(event)) {
                if (!result.stopped)
                    result.stopped = {check.creature, check.description, event.value("text", "")};
                check = {};
            }
        }
    }
    finish();
    return result;
}

// The plugin names the config file it read, a copy; the operator knows the original.
std::string NamingOriginal(std::string text, const std::string& copy, const std::string& original) {
    for (size_t at = text.find(copy); at != std::string::npos;
         at = text.find(copy, at + original.size()))
        text.replace(at, copy.size(), original);
    return text;
}

}  // namespace

bool DryRunResult::failed() const {
    return std::any_of(logs.begin(), logs.end(), [](const nlohmann::json& log) {
        return log.value("level", "") == "critical";
    });
}

DryRunResult RunDry(const fs::path& configPath, const fs::path& worldPath) {
    const standin::WorldDescription world = standin::LoadWorldFile(worldPath);
    TemporaryServer server(configPath);
    HostSession session(server.folder);
    standin::Host& host = standin::Host::Get();
    host.world = standin::BuildWorld(world);

    std::vector<const standin::ScheduledDino*> later;
    for (const standin::ScheduledDino& creature : world.creatures)
        if (creature.beginPlayAt) later.push_back(&creature);
    std::stable_sort(later.begin(), later.end(), [](auto* left, auto* right) {
        return *left->beginPlayAt < *right->beginPlayAt;
    });

    std::vector<std::string> notChecked;
    {
        RecordingSession recording;
        DllMain(nullptr, 1, nullptr);  // the load, as the host's library entry gives it
        constexpr double CheckDelaySeconds = Tools::Timer::CheckDelayMs / 1000.0;
        for (const standin::ScheduledDino* creature : later) {
            APrimalDinoCharacter* dino = host.world->SpawnDino(creature->details);
            if (creature->destroyAt &&
                *creature->destroyAt <= *creature->beginPlayAt + CheckDelaySeconds) {
                host.events.Record({{"type", "despawn"}, {"creature", creature->details.key}});
                host.world->Destroy(dino);
                notChecked.push_back(creature->details.key);
            }
        }
        if (!later.empty()) {
            // Every deferred check is due once the delay has passed since the last beginning.
            std::this_thread::sleep_for(std::chrono::milliseconds(Tools::Timer::CheckDelayMs + 50));
            host.commands.RunUpdateCallbacks(0);
        }
        DllMain(nullptr, 0, nullptr);
    }
    DryRunResult result = Collect(host.events.All());
    result.notChecked = std::move(notChecked);
    const std::string copy = server.folder.string() + "/ArkApi/Plugins/TameWarden/config.json";
    for (nlohmann::json& log : result.logs)
        log["text"] = NamingOriginal(log.value("text", ""), copy, configPath.string());
    if (result.stopped)
        result.stopped->line = NamingOriginal(result.stopped->line, copy, configPath.string());
    for (const standin::ScheduledDino& creature : world.creatures)
        result.creatureNames.push_back(standin::ToUtf8(creature.details.name));
    return result;
}

}  // namespace checker

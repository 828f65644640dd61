#include "checker/DryRun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <set>
#include <thread>

#include "checker/PostRules.h"
#include "plugin/Timer.h"
#include "standin/Host.h"
#include "standin/HttpRequests.h"
#include "standin/PluginLibrary.h"
#include "standin/RecordingSink.h"
#include "standin/server/WorldFile.h"

namespace fs = std::filesystem;

namespace checker {
namespace {

// A server folder of its own, removed when the run ends, so the operator's files stay untouched.
class TemporaryServer {
public:
    explicit TemporaryServer(const fs::path& configPath) {
        std::string pattern = (fs::temp_directory_path() / "tamewarden-check-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a temporary server folder");
        folder = pattern;
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
        host.sendRequests = false;
        host.logSinks = {std::make_shared<standin::RecordingSink>()};
    }
    ~HostSession() {
        standin::Host& host = standin::Host::Get();
        host.world.reset();
        host.logSinks.clear();
        host.sendRequests = true;
        host.Reset();
    }
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;
};

struct Checked {
    std::string key;
    const standin::DinoSpec* details;
};

bool IsAscii(const std::u16string& text) {
    return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 128; });
}

bool Describes(const PostRule& rule, const standin::DinoSpec& details) {
    for (size_t index = 0; index < rule.fields.size(); ++index) {
        const std::string& name = rule.fieldNames[index];
        const std::string& value = rule.fields[index];
        if (name == "level" && value != std::to_string(details.level)) return false;
        if (name == "team" && value != std::to_string(details.team)) return false;
        if (name == "name" && IsAscii(details.name) &&
            value != std::string(details.name.begin(), details.name.end()))
            return false;
    }
    return true;
}

// Pairs every post with its rule and creature. A destroying rule's post sits next to its
// destruction; a report names the creature only by its texts, so it goes to the next creature
// in check order that those texts describe (checks run, and post, in that order).
void Attribute(const std::vector<nlohmann::json>& events, const std::vector<Checked>& order,
               DryRunResult& result) {
    std::vector<std::optional<std::string>> destroyedAt(events.size());
    std::set<std::string> despawned;
    for (size_t index = 0; index < events.size(); ++index) {
        const nlohmann::json& event = events[index];
        const std::string type = event.value("type", "");
        if (type == "despawn") despawned.insert(event.value("creature", ""));
        if (type == "destroyed" && despawned.count(event.value("creature", "")) == 0) {
            destroyedAt[index] = event.value("creature", "");
            result.destroyed.push_back(*destroyedAt[index]);
        }
        if (type == "log")
            result.logs.push_back(
                {{"level", event.value("level", "")}, {"text", event.value("text", "")}});
    }
    std::set<size_t> used;
    size_t next = 0;  // the first creature in check order not yet passed
    auto advancePast = [&](const std::string& key) {
        for (size_t index = next; index < order.size(); ++index)
            if (order[index].key == key) next = index + 1;
    };
    for (size_t index = 0; index < events.size(); ++index) {
        const nlohmann::json& event = events[index];
        if (event.value("type", "") != "post") continue;
        Finding finding;
        finding.url = event.value("url", "");
        finding.body = event.value("body", "");
        result.posts.push_back({{"url", finding.url}, {"body", finding.body}});
        const nlohmann::json body = nlohmann::json::parse(finding.body, nullptr, false);
        if (body.is_object() && body.contains("content") && body["content"].is_string())
            finding.message = body["content"];
        const std::optional<PostRule> rule = RuleOfMessage(finding.message);
        if (!rule) {
            finding.rule = "(unknown)";
            result.findings.push_back(std::move(finding));
            continue;
        }
        finding.rule = rule->rule;
        finding.destroyed = rule->destroyed;
        if (rule->destroyed) {
            // The destruction just after (over level) or just before (the others).
            std::optional<size_t> at;
            if (rule->postedBeforeDestruction) {
                for (size_t other = index + 1; other < events.size() && !at; ++other)
                    if (destroyedAt[other] && used.count(other) == 0) at = other;
            } else {
                for (size_t other = index; other-- > 0 && !at;)
                    if (destroyedAt[other] && used.count(other) == 0) at = other;
            }
            if (at) {
                used.insert(*at);
                finding.creature = *destroyedAt[*at];
                advancePast(finding.creature);
            }
        } else {
            for (size_t candidate = next; candidate < order.size(); ++candidate) {
                if (!Describes(*rule, *order[candidate].details)) continue;
                finding.creature = order[candidate].key;
                next = candidate + 1;
                break;
            }
        }
        result.findings.push_back(std::move(finding));
    }
}

}  // namespace

bool DryRunResult::failed() const {
    return std::any_of(logs.begin(), logs.end(), [](const nlohmann::json& log) {
        return log.value("level", "") == "critical";
    });
}

DryRunResult RunDry(const fs::path& configPath, const fs::path& worldPath,
                    const fs::path& pluginPath) {
    const standin::WorldFile world = standin::LoadWorldFile(worldPath);
    TemporaryServer server(configPath);
    HostSession session(server.folder);
    standin::Host& host = standin::Host::Get();
    host.world = standin::BuildWorld(world);

    std::vector<Checked> order;
    std::vector<const standin::ScheduledDino*> later;
    for (const standin::ScheduledDino& creature : world.creatures) {
        if (creature.beginPlayAt)
            later.push_back(&creature);
        else
            order.push_back({creature.details.key, &creature.details});
    }
    std::stable_sort(later.begin(), later.end(), [](auto* left, auto* right) {
        return *left->beginPlayAt < *right->beginPlayAt;
    });

    DryRunResult result;
    {
        standin::PluginLibrary plugin(pluginPath.string());
        constexpr double CheckDelaySeconds = Tools::Timer::CheckDelayMs / 1000.0;
        for (const standin::ScheduledDino* creature : later) {
            APrimalDinoCharacter* dino = host.world->SpawnDino(creature->details);
            if (creature->destroyAt &&
                *creature->destroyAt <= *creature->beginPlayAt + CheckDelaySeconds) {
                host.events.Record({{"type", "despawn"}, {"creature", creature->details.key}});
                host.world->Destroy(dino);
                result.notChecked.push_back(creature->details.key);
                continue;
            }
            order.push_back({creature->details.key, &creature->details});
        }
        if (!later.empty()) {
            // Every deferred check is due once the delay has passed since the last beginning.
            std::this_thread::sleep_for(std::chrono::milliseconds(Tools::Timer::CheckDelayMs + 50));
            host.commands.RunUpdateCallbacks(0);
        }
        standin::StopRequests();
        plugin.Unload();
    }
    Attribute(host.events.All(), order, result);
    return result;
}

}  // namespace checker

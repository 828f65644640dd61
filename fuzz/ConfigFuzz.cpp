// libFuzzer target: any bytes as config.json, then a reload and a check of every creature of a
// small world that has each kind of creature. Only the JSON library's errors may come out of a
// check, as they do for the plugin's own callers; anything else, and every sanitizer report, is a
// finding. So is a level rule that acts on a creature its limit, read with saturation at the
// 32-bit bounds, does not reach: a limit that wrapped around.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "audit/AuditEffects.h"
#include "audit/CheckDino.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "base/Logger.h"
#include "base/PluginName.h"
#include "host/Game.h"
#include "plugin/ReloadCommand.h"
#include "standin/Host.h"
#include "standin/RecordingSink.h"

namespace {

constexpr int32_t Tribe = Game::FirstTribeId;
constexpr int32_t Owner = 123456789;

std::filesystem::path ConfigPath() {
    static const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                              ("tamewarden-fuzz-" + std::to_string(::getpid())) /
                                              "ArkApi" / "Plugins" / "TameWarden" / "config.json";
    return path;
}

using standin::CoherentPoints;

// Every kind of creature the rules tell apart, with names that stress the text conversions.
void BuildWorld(standin::Host& host) {
    host.world = std::make_unique<standin::World>(u"Fuzz\u00e9_WP");
    standin::World& world = *host.world;
    world.AddPlayer(
        {.id = Owner, .eosId = u"owner-eos", .characterName = u"\u00c5sa", .online = true});
    world.AddPlayer(
        {.id = 7001, .eosId = u"known", .characterName = u"K", .knownToGameMode = true});
    world.AddPlayer({.id = 7002, .eosId = u"online", .characterName = u"O", .online = true});
    world.AddTribe(
        {.id = Tribe, .memberNames = {u"Ann", u"B\u00f6b", u"Cy"}, .memberIds = {7001, 7002}});
    world.AddTribe({.id = Tribe + 1, .memberNames = {}, .memberIds = {}});
    const std::array<float, 12> high{1e9f, 1e9f, 1e9f, 1e9f, 1e9f, 1e9f,
                                     1e9f, 1e9f, 1e9f, 1e9f, 1e9f, 1e9f};
    world.AddDino({.key = "wild",
                   .name = u"Rex",
                   .team = 2000,
                   .level = 30,
                   .levelUpPoints = CoherentPoints(30)});
    world.AddDino({.key = "tribe",
                   .name = u"Raptor",
                   .team = Tribe,
                   .level = 200,
                   .location = {1e300, -1e-300, 0},
                   .levelUpPoints = CoherentPoints(200)});
    world.AddDino({.key = "emptyTribe", .name = u"Dodo", .team = Tribe + 1, .level = 5});
    world.AddDino({.key = "unknownTribe", .team = Tribe + 7, .level = 50});
    world.AddDino({.key = "owned",
                   .name = u"Zo\u00eb \"\U0001D4B3\"",
                   .team = Owner,
                   .level = 450,
                   .levelUpPoints = CoherentPoints(450)});
    world.AddDino({.key = "boss", .name = u"Dragon", .level = 5000, .boss = true});
    world.AddDino({.key = "mission", .level = 5000, .mission = true});
    world.AddDino({.key = "team6", .team = 6, .level = 5000});
    world.AddDino({.key = "team10", .team = 10, .level = 5000});
    world.AddDino({.key = "exempt", .name = u"Tek Skiff", .level = 5000});
    world.AddDino({.key = "listed", .name = u"Zo\u00eb the Rex", .level = 5000});
    world.AddDino(
        {.key = "surrogate", .name = std::u16string(u"Bad\xD800name"), .team = Tribe, .level = 77});
    world.AddDino({.key = "incoherent", .name = u"Carno", .team = 3000, .level = 90});
    world.AddDino({.key = "overLevel", .team = Owner, .level = 100000});
    world.AddDino({.key = "zero", .level = 0});
    world.AddDino({.key = "lowest", .level = INT32_MIN});
    world.AddDino({.key = "overStats",
                   .name = u"Giga",
                   .team = Tribe,
                   .level = 100,
                   .levelUpPoints = CoherentPoints(100),
                   .currentStatus = high});
    world.AddDino({.key = "ghost", .level = 5000, .statusComponent = false});
}

// The checks' effects as the live server has them, but each report recorded instead of going to
// the outbox, which would keep them across inputs. The log line goes to the plugin's logger.
class FuzzEffects : public AuditEffects {
public:
    void LogDestroyed(const std::string& line) override { PluginLogger()->warn(line); }
    void Post(const Report& report) override {
        standin::Host::Get().events.Record({{"type", "report"}, {"message", report.message}});
    }
    bool Destroy(APrimalDinoCharacter* dino, AuditRule, Game::DestroyFunction* destroy) override {
        return Game::Destroy(destroy, dino);
    }
    void AddPlayerId(AShooterGameMode* gameMode, int32_t playerId, const FString& eosId) override {
        Game::AddPlayerId(gameMode, playerId, eosId);
    }
};

// A limit beyond the range is out of range: its rule acts on no creature.
struct Limit {
    int32_t value;
    bool outOfRange = false;
};

// The limit a level key must read as, worked out apart from the plugin: the number cut toward
// zero, then held within the 32-bit range; a boolean is 1 or 0. None when the key is absent or
// of another type.

std::optional<Limit> ExpectedLimit(const nlohmann::json& document, const char* key) {
    if (!document.is_object()) return std::nullopt;
    const auto found = document.find(key);
    if (found == document.end()) return std::nullopt;
    if (found->is_boolean()) return Limit{found->get<bool>() ? 1 : 0};
    if (!found->is_number()) return std::nullopt;
    const long double number = std::trunc(found->get<long double>());
    const long double lowest = std::numeric_limits<int32_t>::min();
    const long double highest = std::numeric_limits<int32_t>::max();
    return Limit{static_cast<int32_t>(number < lowest    ? lowest
                                      : number > highest ? highest
                                                         : number),
                 number < lowest || number > highest};
}

// The level in a report or log line: the number after the creature's name.
int64_t LevelIn(const std::string& text) {
    const auto at = text.find(") level ");
    if (at == std::string::npos) std::abort();
    return std::strtoll(text.c_str() + at + 8, nullptr, 10);
}

// Stops the run with what was found wrong and the text that shows it.
void Require(bool holds, const char* what, const std::string& text) {
    if (holds) return;
    std::fprintf(stderr, "%s: %s\n", what, text.c_str());
    std::abort();
}

// Every level rule that acted did so within its limit, and the plugin read the limits as
// expected.
void CheckLevelRules(const standin::Host& host) {
    const auto overLevel = ExpectedLimit(Config, ConfigKeys::DestroyDinosOverLevel.name);
    const auto warning = ExpectedLimit(Config, ConfigKeys::LevelWarningThreshold.name);
    const auto minimum = ExpectedLimit(Config, ConfigKeys::MinDinoLevel.name);
    // The over-level rule reads its out-of-range limit as its own "off", -1.
    const int32_t overLevelLimit = overLevel ? (overLevel->outOfRange ? -1 : overLevel->value)
                                             : ConfigKeys::DestroyDinosOverLevel.fallback;
    if (overLevel)
        Require(CurrentConfig().DestroyDinosOverLevel.Read() == overLevelLimit,
                "limit read other than saturated", "DestroyDinosOverLevel");
    if (warning)
        Require(CurrentConfig().LevelWarningThreshold.Read() == warning->value,
                "limit read other than saturated", "LevelWarningThreshold");
    if (minimum)
        Require(CurrentConfig().MinDinoLevel.Read() == minimum->value,
                "limit read other than saturated", "MinDinoLevel");
    const int32_t warningLimit =
        warning ? warning->value : ConfigKeys::LevelWarningThreshold.fallback;
    const int32_t minimumLimit = minimum ? minimum->value : ConfigKeys::MinDinoLevel.fallback;
    const bool warningOff = warning && warning->outOfRange;
    const bool minimumOff = minimum && minimum->outOfRange;
    for (const auto& log : host.events.OfType("log")) {
        const std::string text = log.at("text");
        if (!text.starts_with("Destroyed dino(")) continue;
        Require(overLevelLimit != -1 && LevelIn(text) >= overLevelLimit,
                "over-level rule acted beyond its limit", text);
    }
    for (const auto& report : host.events.OfType("report")) {
        const std::string content = report.at("message");
        const bool members = content.find("\nMembers: ") != std::string::npos;
        if (content.find("Detected **wild** dino(") != std::string::npos ||
            (content.find("] Detected dino(") != std::string::npos && members))
            Require(!warningOff && LevelIn(content) >= warningLimit,
                    "warning acted beyond its limit", content);
        if (content.find("] DELETED dino(") != std::string::npos ||
            (content.find("] Detected dino(") != std::string::npos && !members))
            Require(!minimumOff && LevelIn(content) <= minimumLimit,
                    "minimum-level rule acted beyond its limit", content);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    standin::Host& host = standin::Host::Get();
    static FuzzEffects effects;
    ReplaceServerEffects(&effects);
    host.logSinks = {std::make_shared<standin::RecordingSink>()};
    std::filesystem::create_directories(ConfigPath().parent_path());
    host.currentDir = ConfigPath().parent_path().parent_path().parent_path().parent_path();
    PluginName = "TameWarden";
    InitLogger(PluginLogger());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    standin::Host& host = standin::Host::Get();
    std::ofstream(ConfigPath(), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    BuildWorld(host);
    // Each input starts from the default document, so a failed parse does not inherit the
    // previous input's configuration.
    SetConfig(nlohmann::json::object());
    ReloadConsoleCommand(reinterpret_cast<APlayerController*>(host.world->AdminPlayer()), nullptr,
                         false);
    for (const std::string& key : host.world->DinoKeys()) {
        APrimalDinoCharacter* dino = host.world->FindDino(key);
        if (dino == nullptr) continue;  // destroyed by an earlier check of this input
        try {
            CheckDino(Game::MakeWeak(dino));
        } catch (const nlohmann::json::exception&) {
            // What StartupSweep's and the deferred queue's callers contain and log.
        }
    }
    CheckLevelRules(host);
    host.events.Clear();
    return 0;
}

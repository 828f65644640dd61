#include "audit/DestroyBrake.h"

#include <fmt/chrono.h>

#include <algorithm>
#include <deque>
#include <exception>
#include <optional>
#include <utility>

#include "audit/Notifier.h"
#include "audit/Outbox.h"
#include "audit/RuleIdentity.h"
#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "base/Logger.h"
#include "host/GameClock.h"

namespace {

constexpr const char* HowToGoOn =
    "no creature is destroyed until an operator runs tmwd.release, which checks the held "
    "creatures again with the config in force (if the config is at fault, correct it and run "
    "tmwd.reload first)";

struct SpanDestruction {
    GameClock::time_point at;
    AuditRule rule;
};

// Checks run on the game thread only.
struct Brake {
    std::deque<SpanDestruction> span;
    bool holding = false;
    std::chrono::system_clock::time_point since;
    std::vector<FWeakObjectPtr> held;
    std::vector<FWeakObjectPtr> released;
    // A world pass past the limit: the notice the first destruction it asks about engages with.
    std::optional<std::pair<AuditRule, std::string>> passPastLimit;
};

Brake& TheBrake() {
    static Brake brake;
    return brake;
}

bool Same(const FWeakObjectPtr& left, const FWeakObjectPtr& right) {
    return left.ObjectIndex == right.ObjectIndex &&
           left.ObjectSerialNumber == right.ObjectSerialNumber;
}

bool Contains(const std::vector<FWeakObjectPtr>& creatures, const FWeakObjectPtr& creature) {
    return std::any_of(creatures.begin(), creatures.end(),
                       [&](const FWeakObjectPtr& entry) { return Same(entry, creature); });
}

// Out of range, the brake holds everything: a limit nobody can read must not let all through.
bool HoldsEverything(const ConfigSnapshot& config) {
    return config.DestroyBrakeLimit.OutOfRange() || config.DestroyBrakeMinutes.OutOfRange();
}

// The game clock counts nanoseconds in 64 bits, about 292 years: a span of more minutes than a
// century holds is a century, which no server outlives.
GameClock::duration SpanLength(const ConfigSnapshot& config) {
    constexpr int32_t Century = 100 * 366 * 24 * 60;
    return std::chrono::minutes(std::clamp<int32_t>(config.DestroyBrakeMinutes.Read(), 0, Century));
}

void ForgetOutsideSpan(Brake& brake, const ConfigSnapshot& config) {
    const GameClock::time_point now = GameClock::now();
    while (!brake.span.empty() && now - brake.span.front().at >= SpanLength(config))
        brake.span.pop_front();
}

// "over-level 20, incoherent 5".
std::string ByRule(const std::vector<uint64_t>& counts) {
    std::string text;
    for (size_t rule = 0; rule < counts.size(); ++rule)
        if (counts[rule] > 0)
            text += fmt::format("{}{} {}", text.empty() ? "" : ", ",
                                RuleName(static_cast<AuditRule>(rule)), counts[rule]);
    return text.empty() ? "no rule" : text;
}

std::string LimitText(const ConfigSnapshot& config) {
    if (HoldsEverything(config)) return "its limit is out of range, so it lets none through";
    return fmt::format("the limit is {} in {} minute(s)", config.DestroyBrakeLimit.Read(),
                       config.DestroyBrakeMinutes.Read());
}

// One critical line and one report; a report that cannot be made or sent is said in the log,
// and the brake holds all the same.
void Engage(Brake& brake, const ConfigSnapshot& config, AuditRule rule, const std::string& what) {
    brake.holding = true;
    brake.since = std::chrono::system_clock::now();
    const std::string text = fmt::format("{}; {}", what, HowToGoOn);
    PluginLogger()->critical("Destroy brake engaged! \n {}", text);
    try {
        const std::string message = "# TameWarden destroy brake engaged: " + text;
        TheOutbox().Send({rule, config.LevelWarningWebhook.Read(), message, ReportBodies(message),
                          "the destroy brake's notice", 0});
    } catch (const std::exception& error) {
        PluginLogger()->critical("Failed to report the destroy brake! \n {}", error.what());
    }
}

std::string SpanDuration(const Brake& brake) {
    if (brake.span.empty()) return "no time";
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(GameClock::now() - brake.span.front().at);
    return fmt::format("{} second(s)", seconds.count());
}

}  // namespace

bool BrakeOn(const ConfigSnapshot& config) {
    if (config.DestroyBrakeLimit.Error() || config.DestroyBrakeMinutes.Error()) return false;
    return HoldsEverything(config) || config.DestroyBrakeLimit.Read() > 0;
}

bool BrakeAllowsDestroy(const FWeakObjectPtr& creature, AuditRule rule,
                        const ConfigSnapshot& config) {
    Brake& brake = TheBrake();
    if (Contains(brake.released, creature)) return true;  // the operator's go-ahead
    // A key of the wrong type stops the check here, as any key's read does.
    if (!HoldsEverything(config) && config.DestroyBrakeLimit.Read() <= 0) return true;
    if (!brake.holding && brake.passPastLimit) {
        const auto [passRule, notice] = *brake.passPastLimit;
        brake.passPastLimit.reset();
        Engage(brake, config, passRule, notice);
    }
    if (!brake.holding) {
        ForgetOutsideSpan(brake, config);
        if (!HoldsEverything(config) &&
            brake.span.size() < static_cast<size_t>(config.DestroyBrakeLimit.Read())) {
            brake.span.push_back({GameClock::now(), rule});
            return true;
        }
        std::vector<uint64_t> counts(AllRules().size());
        for (const SpanDestruction& destruction : brake.span)
            ++counts[static_cast<size_t>(destruction.rule)];
        Engage(brake, config, rule,
               fmt::format("{} creature(s) destroyed in {} by {}; {}", brake.span.size(),
                           SpanDuration(brake), ByRule(counts), LimitText(config)));
    }
    if (!Contains(brake.held, creature)) brake.held.push_back(creature);
    return false;
}

WorldPassUnderBrake::WorldPassUnderBrake(const RuleTallies& wouldDo, const ConfigSnapshot& config,
                                         const char* pass) {
    Brake& brake = TheBrake();
    brake.passPastLimit.reset();
    if (!BrakeOn(config) || brake.holding) return;
    ForgetOutsideSpan(brake, config);
    std::vector<uint64_t> counts(wouldDo.size());
    uint64_t total = 0;
    for (size_t rule = 0; rule < counts.size(); ++rule)
        total += counts[rule] = wouldDo[rule].destroyed;
    if (total == 0) return;
    if (!HoldsEverything(config) &&
        total + brake.span.size() <= static_cast<uint64_t>(config.DestroyBrakeLimit.Read()))
        return;
    const auto first = std::find_if(wouldDo.begin(), wouldDo.end(),
                                    [](const RuleTally& tally) { return tally.destroyed > 0; });
    brake.passPastLimit.emplace(
        static_cast<AuditRule>(first - wouldDo.begin()),
        fmt::format("{} would destroy {} creature(s) by {}, with {} destroyed in this span; "
                    "{}, so it destroys none of them",
                    pass, total, ByRule(counts), brake.span.size(), LimitText(config)));
}

WorldPassUnderBrake::~WorldPassUnderBrake() { TheBrake().passPastLimit.reset(); }

std::vector<FWeakObjectPtr> ReleaseBrake() {
    Brake& brake = TheBrake();
    std::vector<FWeakObjectPtr> held = std::move(brake.held);
    brake.held.clear();
    brake.holding = false;
    brake.span.clear();
    brake.released = held;
    return held;
}

void ForgetReleasedCreatures() { TheBrake().released.clear(); }

BrakeState TheBrakeState() {
    const Brake& brake = TheBrake();
    return {brake.holding, brake.since, brake.held.size(), brake.span.size()};
}

std::string BrakeStatus(const ConfigSnapshot& config) {
    const Brake& brake = TheBrake();
    const std::string holds =
        brake.holding
            ? fmt::format("holds {} creature(s) since {:%Y-%m-%d %H:%M:%S %z} (tmwd.release); ",
                          brake.held.size(),
                          fmt::localtime(std::chrono::system_clock::to_time_t(brake.since)))
            : "";
    for (const auto* setting : {&config.DestroyBrakeLimit, &config.DestroyBrakeMinutes})
        if (const auto error = setting->Error())
            return "destroy brake: " + holds + StopsChecks(*error);
    if (HoldsEverything(config))
        return "destroy brake: " + holds + "out of range: holds every destruction";
    if (!BrakeOn(config)) return "destroy brake: " + holds + "off";
    return fmt::format("destroy brake: {}at most {} in {} minute(s), {} in this span", holds,
                       config.DestroyBrakeLimit.Read(), config.DestroyBrakeMinutes.Read(),
                       brake.span.size());
}

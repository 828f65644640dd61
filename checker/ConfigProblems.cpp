#include "checker/ConfigProblems.h"

#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/ConfigKeys.h"
#include "base/Format.h"
#include "base/ShownWebhook.h"
#include "checker/NearestName.h"
#include "host/GameFacts.h"

namespace checker {
namespace {

using nlohmann::json;

constexpr const char* StallEffect =
    "the check stops there and what it already did stands; at load the sweep stops at the first "
    "such creature and the load waits for a good config (\"Failed to load TameWarden!\"; fix the "
    "file and run \"tmwd.reload\"); creatures that begin play later wait behind it in the "
    "deferred queue (\"Deferred creature check failed, checks wait until it passes!\"); a reload "
    "refuses such a file (\"Failed to reload config\") and the config in force stays";

// When the plugin reads the key in a creature check; a wrong type shows only then. Every key of
// the table says when, so the last words are only for a name that is no key.
const char* WhenRead(const std::string& key) {
    for (const auto& known : ConfigKeys::AllKeys())
        if (known.name == key) return known.whenRead;
    return "when a check reads it";
}

// "eleven": the count as a word, as a sentence says it.
std::string CountInWords(size_t count) {
    constexpr std::array<const char*, 21> Words{
        "no",       "one",     "two",     "three",     "four",     "five",     "six",
        "seven",    "eight",   "nine",    "ten",       "eleven",   "twelve",   "thirteen",
        "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};
    return count < Words.size() ? Words[count] : std::to_string(count);
}

// A number or a boolean written as a string is the commonest wrong type; it says how to mend it.
std::string QuotesHint(const json& value, ConfigKeys::KeyType type) {
    if (!value.is_string()) return "";
    const json unquoted = json::parse(value.get<std::string>(), nullptr, false);
    const bool mendable = type == ConfigKeys::KeyType::Number    ? unquoted.is_number()
                          : type == ConfigKeys::KeyType::Boolean ? unquoted.is_boolean()
                                                                 : false;
    return mendable ? ": remove the quotes around " + value.get<std::string>() : "";
}

// What a key out of the 32-bit range does: its rule acts on no creature; the brake then lets
// none be destroyed.
std::string OutOfRangeEffect(const std::string& key) {
    if (key == ConfigKeys::DestroyBrakeLimit.name || key == ConfigKeys::DestroyBrakeMinutes.name)
        return "out of range: the destroy brake holds every destruction";
    return ConfigKeys::OutOfRangeText;
}

std::string Shown(const json& value) {
    std::string text = value.dump();
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return text + " (" + value.type_name() + ")";
}

std::string TypeErrorEffect(const std::string& key, const std::string& error) {
    // The journal changes nothing a check does, so its key never stops one.
    if (key == ConfigKeys::DestroyJournal.name)
        return fmt::format("type error \"{}\": read as true, the journal is kept", error);
    return fmt::format("type error \"{}\" {}: {}", error, WhenRead(key), StallEffect);
}

// The value the plugin reads for a key of the right type; none when the read would throw, or
// when a number is out of range and its rule acts on nothing.
template <typename T>
std::optional<T> Effective(const json& document, const ConfigKeys::Key<T>& key) {
    try {
        if (ConfigKeys::KeyOutOfInt32Range(document, key.name)) return std::nullopt;
        return ConfigKeys::ReadKey(document, key);
    } catch (const json::exception&) {
        return std::nullopt;
    }
}

std::vector<std::string_view> KnownKeyNames() {
    std::vector<std::string_view> names;
    for (const auto& key : ConfigKeys::AllKeys()) names.push_back(key.name);
    return names;
}

std::vector<std::string_view> StatNameList() {
    std::vector<std::string_view> names;
    for (const Game::Stat& stat : Game::Stats) names.push_back(stat.name);
    return names;
}

class Checks {
public:
    explicit Checks(const json& config) : document(config) {}

    std::vector<Problem> Run(const ConfigFile& config) {
        if (config.trailingText) TrailingText(config);
        if (!document.is_object()) {
            TopLevelNotObject();
            return std::move(problems);
        }
        DuplicateKeys(config);
        UnknownKeys();
        KeyTypes();
        Whitelist();
        StatLimits();
        Webhook();
        Thresholds();
        return std::move(problems);
    }

private:
    void Add(Harm harm, std::string key, std::string found, std::string expected,
             std::string effect) {
        problems.push_back(
            {harm, std::move(key), std::move(found), std::move(expected), std::move(effect)});
    }

    void TrailingText(const ConfigFile& config) {
        std::string text = *config.trailingText;
        if (text.size() > 40) text = text.substr(0, 37) + "...";
        Add(Harm::Misleads, "(trailing text)",
            fmt::format("text after the first JSON value at line {}, column {}: {}",
                        config.trailingLine, config.trailingColumn, json(text).dump()),
            "nothing after the configuration object",
            "ignored: the plugin reads the first value only, so nothing written there applies");
    }

    void TopLevelNotObject() {
        std::string error;
        try {
            ConfigKeys::AllKeys().front().readFrom(document);
        } catch (const json::exception& caught) {
            error = caught.what();
        }
        Add(Harm::StopsChecks, "(top level)", Shown(document), "an object holding the keys",
            fmt::format("the plugin loads the file, but every creature check fails at its first "
                        "key read with \"{}\": every check fails; {}",
                        error, StallEffect));
    }

    void DuplicateKeys(const ConfigFile& config) {
        for (const DuplicateKey& duplicate : config.duplicates) {
            const std::vector<int>& lines = duplicate.lines;
            const std::string earlier =
                fmt::format("{}", fmt::join(lines.begin(), lines.end() - 1, ", "));
            Add(Harm::Misleads, duplicate.key,
                fmt::format("set on lines {} and {}", earlier, lines.back()), "the key once",
                fmt::format("the plugin reads only the last, on line {}; the one{} on line{} {} "
                            "{} ignored",
                            lines.back(), lines.size() > 2 ? "s" : "", lines.size() > 2 ? "s" : "",
                            earlier, lines.size() > 2 ? "are" : "is"));
        }
    }

    void UnknownKeys() {
        for (const auto& [name, value] : document.items()) {
            const auto& keys = ConfigKeys::AllKeys();
            if (std::any_of(keys.begin(), keys.end(),
                            [&](const auto& key) { return key.name == name; }))
                continue;
            const std::optional<std::string> nearest = NearestName(name, KnownKeyNames());
            if (!nearest) {
                Add(Harm::Misleads, name, Shown(value),
                    fmt::format("one of the {} keys", CountInWords(keys.size())),
                    "ignored by the plugin");
                continue;
            }
            const auto known = std::find_if(keys.begin(), keys.end(),
                                            [&](const auto& key) { return key.name == *nearest; });
            const bool present = document.contains(*nearest);
            Add(Harm::Misleads, name, Shown(value),
                fmt::format("\"{}\" (the nearest key)", *nearest),
                present
                    ? fmt::format("ignored by the plugin; \"{}\" is also set and applies", *nearest)
                    : fmt::format("ignored by the plugin; \"{}\" is absent, so its default {} "
                                  "applies meanwhile",
                                  *nearest, known->fallback.dump()));
        }
    }

    void KeyTypes() {
        for (const auto& key : ConfigKeys::AllKeys()) {
            const auto found = document.find(key.name);
            if (found == document.end()) continue;
            // The whitelist's entries and the limits are examined one by one below.
            if (key.name == ConfigKeys::WhitelistedDinos.name && found->is_array()) continue;
            if (key.name == ConfigKeys::StatValueLimits.name) continue;
            try {
                key.readFrom(document);
            } catch (const json::exception& error) {
                Add(Harm::StopsChecks, key.name, Shown(*found),
                    ConfigKeys::ExpectedWords(key.type) + QuotesHint(*found, key.type),
                    TypeErrorEffect(key.name, error.what()));
                continue;
            }
            if (key.type == ConfigKeys::KeyType::Number) LossyNumber(key.name, *found);
        }
    }

    // Numbers are read as 32-bit integers: a fraction is cut off, a boolean becomes 1 or 0.
    void LossyNumber(const std::string& name, const json& value) {
        const std::string expected = "a whole number";
        if (value.is_boolean()) {
            Add(Harm::Misleads, name, Shown(value), expected,
                fmt::format("read as {}", value.get<bool>() ? 1 : 0));
            return;
        }
        const double number = value.get<double>();
        if (ConfigKeys::OutOfInt32Range(value)) {
            Add(Harm::Misleads, name, Shown(value), "a whole number from -2147483648 to 2147483647",
                OutOfRangeEffect(name));
            return;
        }
        if (value.is_number_float() && std::trunc(number) != number)
            Add(Harm::Misleads, name, Shown(value), expected,
                fmt::format("read as {} (the fraction is cut off)",
                            static_cast<int32_t>(std::trunc(number))));
    }

    void Whitelist() {
        const auto found = document.find(ConfigKeys::WhitelistedDinos.name);
        if (found == document.end() || !found->is_array()) return;
        for (size_t index = 0; index < found->size(); ++index) {
            const json& entry = (*found)[index];
            if (entry.is_string()) continue;
            Add(Harm::StopsChecks, fmt::format("WhitelistedDinos[{}]", index), Shown(entry),
                "a string",
                TypeErrorEffect("WhitelistedDinos",
                                fmt::format("[json.exception.type_error.302] type must be string, "
                                            "but is {}",
                                            entry.type_name())));
        }
    }

    // The plugin's walk of the limits: the member's name, then its value as a float.
    static std::optional<std::string> WalkError(const json& limits) {
        try {
            for (auto entry = limits.begin(); entry != limits.end(); ++entry) {
                (void)entry.key();
                (void)entry.value().get<float>();
            }
        } catch (const json::exception& error) {
            return error.what();
        }
        return std::nullopt;
    }

    void StatLimits() {
        const std::string name = ConfigKeys::StatValueLimits.name;
        const bool ruleOn = Effective(document, ConfigKeys::DestroyDinosOverStatValue) == true;
        const auto found = document.find(name);
        if (found == document.end()) {
            if (ruleOn)
                Add(Harm::Misleads, name, "absent", "an object with at least one limit",
                    "\"DestroyDinosOverStatValue\" is on but no limit is set: the rule never acts");
            return;
        }
        const std::string onlyWhenOn =
            ruleOn ? "" : " (once \"DestroyDinosOverStatValue\" is on; it is off now)";
        if (!found->is_object()) {
            const std::optional<std::string> error = WalkError(*found);
            Add(error ? Harm::StopsChecks : Harm::Misleads, name, Shown(*found),
                "an object: stat name to number",
                error ? TypeErrorEffect(name, *error) + onlyWhenOn
                      : "limits nothing: the walk over it finds no member");
            return;
        }
        if (found->empty() && ruleOn)
            Add(Harm::Misleads, name, "{} (no limit)", "at least one limit",
                "\"DestroyDinosOverStatValue\" is on but no limit is set: the rule never acts");
        if (!found->empty() && !ruleOn)
            Add(Harm::Misleads, name, fmt::format("{} limit(s)", found->size()),
                "\"DestroyDinosOverStatValue\": true",
                "the limits are never read while \"DestroyDinosOverStatValue\" is off: no creature "
                "is destroyed for its stats");
        for (const auto& [stat, limit] : found->items()) StatLimit(stat, limit, onlyWhenOn);
    }

    void StatLimit(const std::string& stat, const json& limit, const std::string& onlyWhenOn) {
        const std::string key = ConfigKeys::StatValueLimits.name + std::string(".") + stat;
        const std::optional<size_t> index = ConfigKeys::StatIndexFromName(stat);
        const std::string_view known = index ? Game::Stats[*index].name : std::string_view();
        if (known != stat) {
            if (index) {
                Add(Harm::Note, key, fmt::format("\"{}\"", stat), fmt::format("\"{}\"", known),
                    fmt::format("works: the plugin matches stat names with case ignored, so this "
                                "limits {}; write it as \"{}\"",
                                known, known));
            } else {
                const std::optional<std::string> nearest = NearestName(stat, StatNameList());
                Add(Harm::Misleads, key, fmt::format("\"{}\"", stat),
                    nearest ? fmt::format("\"{}\" (the nearest stat name)", *nearest)
                            : "one of the twelve stat names",
                    "skipped: no stat has this name, so it limits nothing (its value is still "
                    "read as a number)");
            }
        }
        try {
            const float value = limit.get<float>();
            if (limit.is_boolean())
                Add(Harm::Misleads, key, Shown(limit), "a number above 0",
                    fmt::format("read as {}", value > 0 ? 1 : 0) +
                        (value > 0 ? "" : ": a limit of 0 never acts"));
            else if (value <= 0)
                Add(Harm::Misleads, key, Shown(limit), "a number above 0",
                    "never acts: a limit of 0 or less is ignored");
        } catch (const json::exception& error) {
            Add(Harm::StopsChecks, key, Shown(limit),
                "a number" + QuotesHint(limit, ConfigKeys::KeyType::Number),
                TypeErrorEffect(ConfigKeys::StatValueLimits.name, error.what()) + onlyWhenOn);
        }
    }

    void Webhook() {
        const std::optional<std::string> url = Effective(document, ConfigKeys::LevelWarningWebhook);
        if (!url) return;  // a wrong type is reported with the other types
        const std::string name = ConfigKeys::LevelWarningWebhook.name;
        const std::string found =
            document.contains(name) ? json(ShownWebhook(*url)).dump() : "absent (\"\")";
        if (url->empty()) {
            // Destroying without reporting is an ordinary setup while the journal keeps the record.
            if (Effective(document, ConfigKeys::DestroyJournal).value_or(true))
                Add(Harm::Note, name, found, "an http:// or https:// URL, to report to a chat",
                    "reports go nowhere; the journal still records every destruction");
            else
                Add(Harm::LosesReports, name, found, "an http:// or https:// URL",
                    "reports go nowhere, and with \"DestroyJournal\" off only the server log "
                    "names what is destroyed");
            return;
        }
        std::string lower = *url;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        const size_t schemeEnd = lower.starts_with("http://")    ? 7
                                 : lower.starts_with("https://") ? 8
                                                                 : 0;
        const bool hasSpace = std::any_of(url->begin(), url->end(), [](unsigned char c) {
            return std::isspace(c) || std::iscntrl(c);
        });
        const bool hasHost = schemeEnd != 0 && url->size() > schemeEnd && (*url)[schemeEnd] != '/';
        if (schemeEnd == 0 || hasSpace || !hasHost)
            Add(Harm::LosesReports, name, found, "an http:// or https:// URL with a host",
                "every post fails: nothing reaches the chat (creatures are still destroyed)");
    }

    void Thresholds() {
        const auto overLevel = Effective(document, ConfigKeys::DestroyDinosOverLevel);
        const auto warningOn = Effective(document, ConfigKeys::EnableLevelWarning);
        const auto warningLevel = Effective(document, ConfigKeys::LevelWarningThreshold);
        const auto minimum = Effective(document, ConfigKeys::MinDinoLevel);
        const auto autoDestroy = Effective(document, ConfigKeys::AutoDestroyDinosBelowMinLevel);
        const bool overLevelOn = overLevel && *overLevel != -1;
        if (overLevelOn && *overLevel <= 1)
            Add(Harm::DestroysCreatures, ConfigKeys::DestroyDinosOverLevel.name,
                std::to_string(*overLevel), "-1 (off) or a level above 1",
                "destroys every creature that is not exempt: every level is at or above it");
        if (warningOn == true && warningLevel && *warningLevel <= 1)
            Add(Harm::Misleads, ConfigKeys::LevelWarningThreshold.name,
                std::to_string(*warningLevel), "a level above 1",
                "reports every creature that is not exempt and not destroyed for its level");
        if (warningOn == true && warningLevel && overLevelOn && *overLevel > 1 &&
            *warningLevel >= *overLevel)
            Add(Harm::Misleads, ConfigKeys::LevelWarningThreshold.name,
                std::to_string(*warningLevel),
                fmt::format("a level below \"DestroyDinosOverLevel\" ({})", *overLevel),
                "never reports: a creature at that level is destroyed first");
        if (minimum && overLevelOn && *overLevel > 1 && *minimum >= *overLevel)
            Add(autoDestroy == true ? Harm::DestroysCreatures : Harm::Misleads,
                ConfigKeys::MinDinoLevel.name, std::to_string(*minimum),
                fmt::format("a level below \"DestroyDinosOverLevel\" ({})", *overLevel),
                fmt::format(
                    "acts on every creature that is not exempt: those at or above {} are "
                    "destroyed for their level, every other one is at or below {} and is {}",
                    *overLevel, *minimum, autoDestroy == true ? "destroyed" : "reported"));
        else if (minimum && autoDestroy == true && *minimum >= Game::HighestDefaultWildLevel)
            Add(Harm::DestroysCreatures, ConfigKeys::MinDinoLevel.name, std::to_string(*minimum),
                fmt::format("a level below {} with \"AutoDestroyDinosBelowMinLevel\" on",
                            Game::HighestDefaultWildLevel),
                fmt::format("destroys every wild creature that is not exempt: under the game's "
                            "default settings no wild creature is above level {}, so every one "
                            "is at or below {}",
                            Game::HighestDefaultWildLevel, *minimum));
    }

    const json& document;
    std::vector<Problem> problems;
};

}  // namespace

std::vector<Problem> CheckConfig(const ConfigFile& config) {
    return Checks(config.document).Run(config);
}

// Wild creatures reach the game's default highest wild level; a threshold at or below it destroys
// ordinary creatures, which only a world can count.
std::vector<Problem> CheckWithoutWorld(const ConfigFile& config) {
    const auto overLevel = Effective(config.document, ConfigKeys::DestroyDinosOverLevel);
    if (!config.document.is_object() || !overLevel || *overLevel <= 1 ||
        *overLevel > Game::HighestDefaultWildLevel)
        return {};
    return {{Harm::DestroysCreatures, ConfigKeys::DestroyDinosOverLevel.name,
             std::to_string(*overLevel),
             fmt::format("-1 (off) or a level above {}", Game::HighestDefaultWildLevel),
             fmt::format("destroys ordinary creatures: under the game's default settings wild "
                         "creatures reach level {}, and every one at or above {} is destroyed; "
                         "count them with --world WORLD, or tmwd.preview FILE on the server",
                         Game::HighestDefaultWildLevel, *overLevel)}};
}

void SortMostHarmfulFirst(std::vector<Problem>& problems) {
    std::stable_sort(
        problems.begin(), problems.end(),
        [](const Problem& left, const Problem& right) { return left.harm < right.harm; });
}

}  // namespace checker

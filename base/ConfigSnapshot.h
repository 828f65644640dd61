// The configuration as the checks read it, made once from the JSON document at each read or reload,
// so that every key read in a check is a field access. A key of the wrong type keeps the
// library's own error and raises it when a check reaches that key, never before, exactly as a
// read of the JSON document would.
#pragma once

#include <cstdint>
#include <exception>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/ConfigKeys.h"
#include "base/ConfigSnapshotFwd.h"

template <typename T>
class Setting {
public:
    Setting() = default;
    Setting(const nlohmann::json& document, const ConfigKeys::Key<T>& key) : name(key.name) {
        try {
            value = ConfigKeys::ReadKey(document, key);
            if constexpr (std::is_same_v<T, int32_t>)
                outOfRange = ConfigKeys::KeyOutOfInt32Range(document, key.name);
        } catch (const nlohmann::json::exception&) {
            failure = std::current_exception();
        }
    }

    // The value a check reads; raises the library's error for a key of the wrong type.
    const T& Read() const {
        if (failure) Fail();
        return value;
    }
    // The library's error text when a read fails.
    std::optional<std::string> Error() const;
    const char* Name() const { return name; }
    // A number no 32-bit integer holds: what reads it acts on no creature.
    bool OutOfRange() const { return outOfRange; }
    // For a key whose own value means "off": what a check reads when the number is out of range.
    void ReadOutOfRangeAs(const T& off) {
        if (outOfRange) value = off;
    }

private:
    [[noreturn]] void Fail() const;

    const char* name = "";
    T value{};
    std::exception_ptr failure;
    bool outOfRange = false;
};

// "StatValueLimits" as the stat walk reads it: each member's stat (none for a name that is no
// stat) and limit, in the JSON document's member order, up to the member the walk fails at, if any.
class StatLimitsSetting {
public:
    StatLimitsSetting() = default;
    StatLimitsSetting(const nlohmann::json& document, const ConfigKeys::Key<nlohmann::json>& key);

    struct Limit {
        std::optional<size_t> stat;
        float limit;
    };

    // Walks the limits against the creature's current stat values: true at the first one
    // reached. Raises the library's error where the walk over the JSON document would.
    bool AnyReached(const float* current) const { return FirstReached(current).has_value(); }
    // The same walk, giving the first limit reached.
    std::optional<Limit> FirstReached(const float* current) const;

    // The limits before the first member that cannot be read, and that member's error.
    const std::vector<Limit>& Limits() const { return limits; }
    std::optional<std::string> Error() const;

private:
    std::vector<Limit> limits;
    std::exception_ptr failure;  // raised after `limits`, when the walk gets that far
};

// A key's setting: its typed read; the one object key holds the limits per stat.
template <typename T>
using SettingOf =
    std::conditional_t<std::is_same_v<T, nlohmann::json>, StatLimitsSetting, Setting<T>>;

// Every key the checks read, each as its typed read of the JSON document gives it, under the
// key's own name: config.MinDinoLevel.
struct ConfigSnapshot {
    ConfigSnapshot() = default;
    explicit ConfigSnapshot(const nlohmann::json& document);

#define TAMEWARDEN_SETTING(name, type, ...) SettingOf<type> name;
    TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_SETTING)
#undef TAMEWARDEN_SETTING
};

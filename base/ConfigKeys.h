// The one table of configuration keys: names, types and defaults. The plugin reads each key from
// the configuration at the moment it needs it; the checker describes the same table to operators.
#pragma once

#include <cstdint>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ConfigKeys {

template <typename T>
struct Key {
    const char* name;
    T fallback;
    // When a creature check reads it: where a wrong type shows, in the checker's words.
    const char* whenRead;
};

// Every key: its name, type, default and when a check reads it, in the order the checker lists
// them. A row here is all a new key needs: it is declared below, described to the checker by
// AllKeys() and read into every ConfigSnapshot under its own name.
#define TAMEWARDEN_CONFIG_KEYS(KEY)                                                                \
    KEY(WhitelistedDinos, std::vector<std::string>, {}, "first thing in every creature check")     \
    KEY(DestroyDinosOverLevel, int32_t, 1000, "in the check of every creature that is not exempt") \
    KEY(EnableLevelWarning, bool, false,                                                           \
        "in the check of every creature not destroyed for its level")                              \
    KEY(LevelWarningThreshold, int32_t, 400,                                                       \
        "in the check of every creature not destroyed for its level, while the warning is on")     \
    KEY(MinDinoLevel, int32_t, -1,                                                                 \
        "in the check of every creature neither destroyed for its level nor warned about")         \
    KEY(AutoDestroyDinosBelowMinLevel, bool, false,                                                \
        "in the check of every creature at or below \"MinDinoLevel\"")                             \
    KEY(DestroyIncoherentDinos, bool, false,                                                       \
        "in the check of every creature whose level disagrees with its level-up points")           \
    KEY(DestroyDinosOverStatValue, bool, false,                                                    \
        "in the check of every creature that passed the level and coherence rules")                \
    KEY(StatValueLimits, nlohmann::json, nlohmann::json::object(),                                 \
        "when a creature reaches the stat limits")                                                 \
    KEY(LevelWarningWebhook, std::string, "",                                                      \
        "at every post (for an over-level creature before it is logged or destroyed, so it "       \
        "stays)")                                                                                  \
    KEY(DestroyJournal, bool, true, "at load and at every destruction")                            \
    KEY(DestroyBrakeLimit, int32_t, 0, "at every destruction")                                     \
    KEY(DestroyBrakeMinutes, int32_t, 10, "at every destruction while the brake is on")

#define TAMEWARDEN_DECLARE_KEY(name, type, fallback, whenRead) \
    inline const Key<type> name{#name, fallback, whenRead};
TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_DECLARE_KEY)
#undef TAMEWARDEN_DECLARE_KEY

// A number read as a 32-bit integer. Beyond the range it saturates at the nearest bound, and
// the setting is out of range (OutOfInt32Range), which makes whatever reads it act on no
// creature: a wrapped or saturated value could mean "everything". Within the range a fraction is
// cut toward zero. Booleans read as 1 and 0, and any other type raises the library's type error.
// The value must be a number or a boolean.
int32_t ReadInt32(const nlohmann::json& value);
// A number no 32-bit integer holds, even with its fraction cut off.
bool OutOfInt32Range(const nlohmann::json& value);
// Whether the configuration holds the key as a number out of the 32-bit range.
bool KeyOutOfInt32Range(const nlohmann::json& document, const char* name);

// What a rule or the brake says for a setting out of range.
inline constexpr const char* OutOfRangeText = "out of range: acts on no creature";

// The typed read of a key on a document, shared by the plugin and the checker: the default when
// absent, the library's type error when the value has the wrong type.
template <typename T>
T ReadKey(const nlohmann::json& document, const Key<T>& key) {
    if constexpr (std::is_same_v<T, int32_t>) {
        if (document.is_object()) {
            const auto found = document.find(key.name);
            if (found != document.end() && found->is_number()) return ReadInt32(*found);
        }
    }
    return document.value(key.name, key.fallback);
}

// What a key's value must be, in the words of the JSON library's type errors.
enum class KeyType { Number, Boolean, String, ArrayOfStrings, Object };

struct KeyDescription {
    std::string name;
    KeyType type;
    nlohmann::json fallback;
    // When a creature check reads it: where a wrong type shows, in the checker's words.
    const char* whenRead;
    // The plugin's typed read of this key on a document: throws the library's error exactly when
    // the plugin's read would.
    std::function<void(const nlohmann::json& document)> readFrom;
};

template <typename T>
constexpr KeyType TypeOf() {
    if constexpr (std::is_same_v<T, int32_t>) return KeyType::Number;
    if constexpr (std::is_same_v<T, bool>) return KeyType::Boolean;
    if constexpr (std::is_same_v<T, std::string>) return KeyType::String;
    if constexpr (std::is_same_v<T, std::vector<std::string>>) return KeyType::ArrayOfStrings;
    if constexpr (std::is_same_v<T, nlohmann::json>) return KeyType::Object;
}

template <typename T>
KeyDescription Describe(const Key<T>& key) {
    return {key.name, TypeOf<T>(), nlohmann::json(key.fallback), key.whenRead,
            [&key](const nlohmann::json& document) { (void)ReadKey(document, key); }};
}

// Every key, in the order of the table above.
inline const std::vector<KeyDescription>& AllKeys() {
#define TAMEWARDEN_DESCRIBE_KEY(name, ...) Describe(name),
    static const std::vector<KeyDescription> keys = {
        TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_DESCRIBE_KEY)};
#undef TAMEWARDEN_DESCRIBE_KEY
    return keys;
}

// What a key's value must be, in an operator's words: "a number (read as a 32-bit integer)".
const char* ExpectedWords(KeyType type);

// The stat a "StatValueLimits" member names, with ASCII case ignored; none for a name that is no
// stat (its limit then limits nothing).
std::optional<size_t> StatIndexFromName(std::string_view name);

}  // namespace ConfigKeys

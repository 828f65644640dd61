// What a configuration key is, and how the plugin and the checker read and describe one. The
// keys themselves are in base/ConfigKeys.h, which a new key changes; this file does not change
// with them, so neither do the files that include only it.
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

// Every key, in the order of base/ConfigKeys.h's table.
const std::vector<KeyDescription>& AllKeys();

// What a key's value must be, in an operator's words: "a number (read as a 32-bit integer)".
const char* ExpectedWords(KeyType type);

// The stat a "StatValueLimits" member names, with ASCII case ignored; none for a name that is no
// stat (its limit then limits nothing).
std::optional<size_t> StatIndexFromName(std::string_view name);

}  // namespace ConfigKeys

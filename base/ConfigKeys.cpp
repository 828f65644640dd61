#include "base/ConfigKeys.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "host/GameFacts.h"

namespace ConfigKeys {

namespace {

template <typename T>
KeyDescription Describe(const Key<T>& key) {
    return {key.name, TypeOf<T>(), nlohmann::json(key.fallback), key.whenRead,
            [&key](const nlohmann::json& document) { (void)ReadKey(document, key); }};
}

}  // namespace

const std::vector<KeyDescription>& AllKeys() {
#define TAMEWARDEN_DESCRIBE_KEY(name, ...) Describe(name),
    static const std::vector<KeyDescription> keys = {
        TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_DESCRIBE_KEY)};
#undef TAMEWARDEN_DESCRIBE_KEY
    return keys;
}

int32_t ReadInt32(const nlohmann::json& value) {
    constexpr int32_t Lowest = std::numeric_limits<int32_t>::min();
    constexpr int32_t Highest = std::numeric_limits<int32_t>::max();
    if (value.is_number_unsigned()) {
        const auto number = value.get<uint64_t>();
        return number > static_cast<uint64_t>(Highest) ? Highest : static_cast<int32_t>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get<int64_t>();
        return number > Highest ? Highest : number < Lowest ? Lowest : static_cast<int32_t>(number);
    }
    if (value.is_number_float()) {
        const auto number = value.get<double>();
        // Between these bounds the cut toward zero lands inside the range.
        if (number >= 2147483648.0) return Highest;
        if (number <= -2147483649.0) return Lowest;
        return static_cast<int32_t>(number);
    }
    return value.get<int32_t>();
}

bool OutOfInt32Range(const nlohmann::json& value) {
    if (value.is_number_unsigned())
        return value.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    if (value.is_number_integer()) {
        const auto number = value.get<int64_t>();
        return number > std::numeric_limits<int32_t>::max() ||
               number < std::numeric_limits<int32_t>::min();
    }
    if (value.is_number_float()) {
        const auto number = value.get<double>();
        return !(number < 2147483648.0 && number > -2147483649.0);  // NaN too
    }
    return false;
}

bool KeyOutOfInt32Range(const nlohmann::json& document, const char* name) {
    if (!document.is_object()) return false;
    const auto found = document.find(name);
    return found != document.end() && OutOfInt32Range(*found);
}

const char* ExpectedWords(KeyType type) {
    switch (type) {
        case KeyType::Number:
            return "a number (read as a 32-bit integer)";
        case KeyType::Boolean:
            return "true or false";
        case KeyType::String:
            return "a string";
        case KeyType::ArrayOfStrings:
            return "an array of strings";
        case KeyType::Object:
            return "an object";
    }
    return "";
}

std::optional<size_t> StatIndexFromName(std::string_view name) {
    const auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    for (size_t stat = 0; stat < Game::Stats.size(); ++stat)
        if (std::equal(name.begin(), name.end(), Game::Stats[stat].name.begin(),
                       Game::Stats[stat].name.end(), same))
            return stat;
    return std::nullopt;
}

}  // namespace ConfigKeys

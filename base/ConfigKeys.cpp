#include "base/ConfigKeys.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "host/GameFacts.h"

namespace ConfigKeys {

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

// The configuration document, its reader and the "tmwd.reload" handlers.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <type_traits>

#include "host/EngineTypes.h"
#include "plugin/ConfigKeys.h"

// Null until the first successful read; read and replaced on the game thread only.
extern nlohmann::json Config;

// Reads the plugin's config.json into Config. Throws std::runtime_error("Can't open config.json")
// or the JSON library's parse error; on failure Config keeps the previous document.
void ReadConfig();

// The key's current value, or its default when absent; a wrong type raises the library's error.
// A fraction too large for a 32-bit integer (1e300) has no defined conversion; it reads as the
// lowest integer, which is what the x64 conversion instruction gives the Windows build.
template <typename T>
T ReadConfigKey(const ConfigKeys::Key<T>& key) {
    if constexpr (std::is_same_v<T, int32_t>) {
        if (Config.is_object()) {
            const auto found = Config.find(key.name);
            if (found != Config.end() && found->is_number_float()) {
                const double number = found->template get<double>();
                if (!(number > -2147483649.0 && number < 2147483648.0))
                    return std::numeric_limits<int32_t>::min();
            }
        }
    }
    return Config.value(key.name, key.fallback);
}

void ReloadConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);

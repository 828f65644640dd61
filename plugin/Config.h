// The configuration document, its reader and the "tmwd.reload" handlers.
#pragma once

#include <nlohmann/json.hpp>

#include "host/EngineTypes.h"
#include "plugin/ConfigKeys.h"

// Null until the first successful read; read and replaced on the game thread only.
extern nlohmann::json Config;

// Reads the plugin's config.json into Config. Throws std::runtime_error("Can't open config.json")
// or the JSON library's parse error; on failure Config keeps the previous document.
void ReadConfig();

// The key's current value, or its default when absent; a wrong type raises the library's error.
template <typename T>
T ReadConfigKey(const ConfigKeys::Key<T>& key) {
    return ConfigKeys::ReadKey(Config, key);
}

void ReloadConsoleCommand(APlayerController* player, FString* command, bool writeToLog);
void ReloadRconCommand(RCONClientConnection* connection, RCONPacket* packet, UWorld* world);

// The configuration document, its typed settings and its reader.
#pragma once

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "base/ConfigSnapshotFwd.h"

// Null until the first successful read; read and replaced on the game thread only.
extern nlohmann::json Config;

// The configuration the checks read: Config as typed settings, replaced with it.
const ConfigSnapshot& CurrentConfig();

// Makes `document` the configuration in force, Config and its settings together.
void SetConfig(nlohmann::json document);

// The plugin's config.json: the plugin folder under the server's working directory.
std::filesystem::path ConfigFilePath();
// The same path as ConfigFilePath last made it, without asking the host again: what a line that
// describes a failure names (empty before the first). Describing a failure must not fail itself.
const std::string& LastConfigFilePath();

// Reads a configuration file as ReadConfig does, without putting it in force. Throws
// std::runtime_error("Can't open <file name>") or the JSON library's parse error.
nlohmann::json ReadConfigDocument(const std::filesystem::path& path);

// Reads the plugin's config.json into Config. Throws std::runtime_error("Can't open config.json")
// or the JSON library's parse error; on failure Config keeps the previous document.
void ReadConfig();

// ReadConfig for a reload: the file is put in force only when every known key has the type the
// checks read it as, so no reload leaves a config that stops every check. Else throws
// std::runtime_error naming the key, what was found and what is expected, and Config stays.
void ReadCheckedConfig();

// When the configuration in force was read, and how the last reload ended: none before the
// first reload, else empty for a reload that succeeded and the error's text for one that failed.
struct ConfigHistory {
    std::chrono::system_clock::time_point readAt;
    std::optional<std::string> lastReloadFailure;
    bool reloaded = false;
};
const ConfigHistory& ConfigReadHistory();
// Records how a reload ended: no failure, or the error's text.
void NoteReload(std::optional<std::string> failure);

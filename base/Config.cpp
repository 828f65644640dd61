#include "base/Config.h"

#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "base/ConfigSnapshot.h"
#include "base/Format.h"
#include "base/PluginName.h"
#include "host/AsaApi.h"

nlohmann::json Config;

namespace {

ConfigSnapshot& SnapshotInForce() {
    static ConfigSnapshot snapshot{nlohmann::json()};
    return snapshot;
}

ConfigHistory& History() {
    static ConfigHistory history;
    return history;
}

}  // namespace

const ConfigSnapshot& CurrentConfig() { return SnapshotInForce(); }

// The settings are made before anything is replaced, so a reload is all or nothing.
void SetConfig(nlohmann::json document) {
    ConfigSnapshot snapshot(document);
    Config = std::move(document);
    SnapshotInForce() = std::move(snapshot);
    History().readAt = std::chrono::system_clock::now();
}

namespace {

std::string& LastPath() {
    static std::string path;
    return path;
}

}  // namespace

// The host's text is UTF-8; a path made from plain text would read it in the system's code page
// on Windows.
std::filesystem::path ConfigFilePath() {
    std::string text =
        AsaApi::Tools::GetCurrentDir() + fmt::format("/ArkApi/Plugins/{}/config.json", PluginName);
    LastPath() = text;
    return std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size());
}

const std::string& LastConfigFilePath() { return LastPath(); }

nlohmann::json ReadConfigDocument(const std::filesystem::path& path) {
    std::ifstream file(path);
    // A folder opens as a stream on Linux, not on Windows; on neither can it be read as a file.
    if (!file.is_open() || std::filesystem::is_directory(path))
        throw std::runtime_error("Can't open " + path.filename().string());
    nlohmann::json document;
    file >> document;
    return document;
}

void ReadConfig() { SetConfig(ReadConfigDocument(ConfigFilePath())); }

namespace {

std::string Shown(const nlohmann::json& value) {
    std::string text = value.dump();
    if (text.size() > 60) text = text.substr(0, 57) + "...";
    return text + " (" + value.type_name() + ")";
}

template <typename T>
std::string ExpectedOf() {
    if constexpr (std::is_same_v<T, nlohmann::json>) return "an object: stat name to number";
    return ConfigKeys::ExpectedWords(ConfigKeys::TypeOf<T>());
}

// The first key the checks could not read, in the table's order: what was found and expected.
std::optional<std::string> FirstWrongType(const nlohmann::json& document, const std::string& file) {
    if (!document.is_object())
        return fmt::format("the top level of {}: found {}, expected an object holding the keys",
                           file, Shown(document));
    const ConfigSnapshot snapshot(document);
#define TAMEWARDEN_CHECK_TYPE(name, type, ...)                                          \
    if (const auto error = snapshot.name.Error())                                       \
        return fmt::format("key \"{}\" in {}: found {}, expected {} ({})", #name, file, \
                           Shown(document.at(#name)), ExpectedOf<type>(), *error);
    TAMEWARDEN_CONFIG_KEYS(TAMEWARDEN_CHECK_TYPE)
#undef TAMEWARDEN_CHECK_TYPE
    return std::nullopt;
}

}  // namespace

void ReadCheckedConfig() {
    const std::filesystem::path path = ConfigFilePath();
    nlohmann::json document = ReadConfigDocument(path);
    if (const auto wrong = FirstWrongType(document, LastConfigFilePath()))
        throw std::runtime_error(*wrong);
    SetConfig(std::move(document));
}

const ConfigHistory& ConfigReadHistory() { return History(); }

void NoteReload(std::optional<std::string> failure) {
    History().reloaded = true;
    History().lastReloadFailure = std::move(failure);
}

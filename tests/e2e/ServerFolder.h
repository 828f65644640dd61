// A temporary server folder per test, laid out as an operator installs the plugin, with its
// config, world and events files, plus the helpers that read what the server wrote.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class ServerFolder {
public:
    // A fresh folder named after the running test, with TameWarden.so installed in it.
    ServerFolder();
    ~ServerFolder();

    const std::filesystem::path& Dir() const { return dir; }
    std::filesystem::path ConfigPath() const;
    std::filesystem::path WorldPath() const { return dir / "world.json"; }
    std::filesystem::path EventsPath() const { return dir / "events.jsonl"; }

    void WriteConfig(const nlohmann::json& config) const;
    void RemoveConfig() const;
    void WriteWorld(const nlohmann::json& world) const { WriteWorldText(world.dump(2)); }
    void WriteWorldText(const std::string& text) const;

    // --server-dir, --world and --events for this folder.
    std::vector<std::string> Arguments() const;

    // The events file's complete lines.
    std::vector<nlohmann::json> Events() const;
    std::vector<nlohmann::json> Events(const std::string& type) const;
    // Polls the events file until `done` holds for its events or the timeout passes.
    bool WaitForEvents(const std::function<bool(const std::vector<nlohmann::json>&)>& done,
                       std::chrono::milliseconds timeout) const;

private:
    std::filesystem::path dir;
};

// A port on 127.0.0.1 that was free a moment ago, for listeners whose port must be known first.
int FreePort();
// The creature keys of the events of one type, in order.
std::vector<std::string> Creatures(const std::vector<nlohmann::json>& events,
                                   const std::string& type);

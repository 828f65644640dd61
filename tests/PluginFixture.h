// A fresh stand-in host and a freshly loaded plugin per test, with a real server folder on disk.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/GameFacts.h"
#include "standin/Host.h"
#include "standin/PluginLibrary.h"

using standin::CoherentPoints;

// The tribe of the tests' tamed creatures.
constexpr int32_t Tribe = Game::FirstTribeId;

class PluginFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The server folder's plugin config.json, written as given (any text, valid or not).
    void WriteConfig(const std::string& text);
    void WriteConfigJson(const nlohmann::json& document) { WriteConfig(document.dump()); }
    void RemoveConfig();
    std::filesystem::path ConfigPath() const;
    // The same path as the plugin writes it: the server folder, then its part with forward slashes
    // (on Windows the folder's own separators stay backslashes).
    std::string ConfigPathText() const;

    standin::World& MakeWorld();
    void LoadPlugin();
    // Unloads the library; fails the test if it stays in the process.
    void UnloadPlugin();

    std::vector<nlohmann::json> Events(const std::string& type) const;
    std::vector<std::string> Texts(const std::string& type) const;
    std::vector<std::string> PostBodies() const;
    // The "content" of every post, in order.
    std::vector<std::string> PostedMessages() const;
    std::vector<std::string> DestroyedKeys() const;
    // The recorded events of these types, in order, each as its type followed by the creature,
    // name or function it is about, if any: "destroyed rex", "consoleCommandRegistered
    // tmwd.reload", "post". The order of effects is part of the plugin's contract.
    std::vector<std::string> Sequence(const std::set<std::string>& types) const;
    // The body of the load's failure line when a check of the start-up sweep stopped at `key`
    // of this folder's config.json with `error`.
    std::string SweepStoppedAt(const std::string& key, const std::string& error) const;
    bool ConsoleCommandRegistered() const;
    bool RconCommandRegistered() const;
    bool BeginPlayHooked() const;

    standin::Host& host = standin::Host::Get();
    std::filesystem::path serverDir;
    std::unique_ptr<standin::PluginLibrary> plugin;
};

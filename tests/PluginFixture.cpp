#include "tests/PluginFixture.h"

#include <fstream>

#include "host/Game.h"
#include "standin/RecordingSink.h"

namespace fs = std::filesystem;

void PluginFixture::SetUp() {
    host.Reset();
    host.logSinks = {std::make_shared<standin::RecordingSink>()};
    serverDir = fs::temp_directory_path() /
                ("tamewarden-test-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(serverDir);
    fs::create_directories(ConfigPath().parent_path());
    host.currentDir = serverDir.string();
}

void PluginFixture::TearDown() {
    if (plugin) UnloadPlugin();
    host.Reset();
    fs::remove_all(serverDir);
}

fs::path PluginFixture::ConfigPath() const {
    return serverDir / "ArkApi" / "Plugins" / "TameWarden" / "config.json";
}

std::string PluginFixture::ConfigPathText() const {
    return serverDir.string() + "/ArkApi/Plugins/TameWarden/config.json";
}

void PluginFixture::WriteConfig(const std::string& text) {
    std::ofstream(ConfigPath(), std::ios::binary | std::ios::trunc) << text;
}

void PluginFixture::RemoveConfig() { fs::remove(ConfigPath()); }

standin::World& PluginFixture::MakeWorld() {
    host.world = std::make_unique<standin::World>();
    return *host.world;
}

void PluginFixture::LoadPlugin() {
    plugin = std::make_unique<standin::PluginLibrary>(TAMEWARDEN_PLUGIN_PATH);
}

void PluginFixture::UnloadPlugin() {
    const bool gone = plugin->Unload();
    plugin.reset();
    EXPECT_TRUE(gone) << "the plugin library stayed loaded after dlclose";
}

std::vector<nlohmann::json> PluginFixture::Events(const std::string& type) const {
    return host.events.OfType(type);
}

std::vector<std::string> PluginFixture::Texts(const std::string& type) const {
    std::vector<std::string> texts;
    for (const auto& event : Events(type)) texts.push_back(event.at("text"));
    return texts;
}

std::vector<std::string> PluginFixture::PostBodies() const {
    std::vector<std::string> bodies;
    for (const auto& event : Events("post")) bodies.push_back(event.at("body"));
    return bodies;
}

std::vector<std::string> PluginFixture::PostedMessages() const {
    std::vector<std::string> messages;
    for (const auto& body : PostBodies())
        messages.push_back(nlohmann::json::parse(body).at("content"));
    return messages;
}

std::vector<std::string> PluginFixture::DestroyedKeys() const {
    std::vector<std::string> keys;
    for (const auto& event : Events("destroyed")) keys.push_back(event.at("creature"));
    return keys;
}

std::vector<std::string> PluginFixture::Sequence(const std::set<std::string>& types) const {
    std::vector<std::string> sequence;
    for (const auto& event : host.events.All()) {
        const std::string type = event.at("type");
        if (!types.contains(type)) continue;
        std::string about;
        for (const char* field : {"creature", "name", "function"})
            if (event.contains(field)) about = event.at(field);
        sequence.push_back(about.empty() ? type : type + " " + about);
    }
    return sequence;
}

std::string PluginFixture::SweepStoppedAt(const std::string& key, const std::string& error) const {
    return "Failed to load TameWarden! \n stopped at the start-up sweep: key \"" + key + "\" in " +
           ConfigPathText() + ": " + error + "; fix the file and run tmwd.reload";
}

bool PluginFixture::ConsoleCommandRegistered() const {
    return host.commands.HasConsoleCommand("tmwd.reload");
}

bool PluginFixture::RconCommandRegistered() const {
    return host.commands.HasRconCommand("tmwd.reload");
}

bool PluginFixture::BeginPlayHooked() const { return host.hooks.IsHooked(Game::BeginPlayName); }

// cmake --install into a temporary prefix, as an operator installs onto a server: the plugin
// folder's layout with a config safe on a live server, the installed checker and stand-in server
// running on it, and an operator's config.json surviving. The config.json it installs holds the
// key table's defaults.
#include <gmock/gmock.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/ConfigKeyTypes.h"

namespace fs = std::filesystem;
using ::testing::HasSubstr;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The exit status of a shell command, its output in `output`.
int Shell(const std::string& command, std::string& output) {
    FILE* pipe = popen((command + " 2>&1 </dev/null").c_str(), "r");
    if (pipe == nullptr) return -1;
    output.clear();
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, read);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The words as one shell command, each quoted. Built by appending: g++ 12 at -O3 misreads a
// literal put in front of a temporary string ("'" + path.string()) as an overflowing copy.
std::string Command(const std::vector<std::string>& words) {
    std::string command;
    for (const std::string& word : words) {
        if (!command.empty()) command += ' ';
        command.append("'").append(word).append("'");
    }
    return command;
}

// The first event of this type in an events file; null when there is none.
nlohmann::json FirstEventOfType(const fs::path& events, const std::string& type) {
    std::ifstream file(events);
    for (std::string line; std::getline(file, line);) {
        const auto event = nlohmann::json::parse(line, nullptr, false);
        if (event.is_object() && event.value("type", "") == type) return event;
    }
    return nullptr;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        prefix = fs::temp_directory_path() /
                 ("tamewarden-install-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(prefix);
    }
    void TearDown() override { fs::remove_all(prefix); }

    void Install() {
        std::string output;
        ASSERT_EQ(Shell("cmake --install '" + std::string(TAMEWARDEN_BINARY_DIR) + "' --prefix '" +
                            prefix.string() + "'",
                        output),
                  0)
            << output;
        lastOutput = output;
    }
    fs::path PluginFolder() const { return prefix / "ArkApi" / "Plugins" / "TameWarden"; }

    fs::path prefix;
    std::string lastOutput;
};

TEST_F(InstallTest, LaysOutThePluginFolderWithAConfigSafeOnALiveServer) {
    Install();
    const std::string source = TAMEWARDEN_SOURCE_DIR;
    EXPECT_TRUE(fs::is_regular_file(PluginFolder() / "TameWarden.so"));
    EXPECT_EQ(ReadAll(PluginFolder() / "PluginInfo.json"),
              ReadAll(source + "/plugin/PluginInfo.json"));
    EXPECT_TRUE(fs::is_regular_file(prefix / "bin" / "tamewarden-check"));

    // The installed checker finds nothing wrong with the installed config, and its dry run with
    // the installed library destroys no creature under level 1000.
    const std::string checker = Command({(prefix / "bin" / "tamewarden-check").string(),
                                         (PluginFolder() / "config.json").string()});
    std::string output;
    EXPECT_EQ(Shell(checker, output), 0) << output;
    const std::string world = source + "/examples/worlds/example-world.json";
    EXPECT_EQ(Shell(checker + " --world '" + world + "' --json", output), 0) << output;
    const auto report = nlohmann::json::parse(output, nullptr, false);
    ASSERT_TRUE(report.contains("dryRun")) << output;
    std::map<std::string, int> levels;
    const auto worldFile = nlohmann::json::parse(ReadAll(world));
    for (const auto& creature : worldFile.at("creatures"))
        levels[creature.at("key")] = creature.at("level");
    for (const auto& destroyed : report.at("dryRun").at("destroyed"))
        EXPECT_GE(levels.at(destroyed), 1000) << destroyed;
}

// README.md, "Installing": the installed file has every key at its default (the journal on and no
// web hook are defaults too), but for the destroy brake it turns on, so a key added to the table
// without its line here fails.
TEST_F(InstallTest, InstalledConfigHoldsEveryKeyOfTheTableAtItsDefault) {
    nlohmann::json defaults = nlohmann::json::object();
    for (const ConfigKeys::KeyDescription& key : ConfigKeys::AllKeys())
        defaults[key.name] = key.fallback;
    defaults["DestroyBrakeLimit"] = 25;
    const fs::path shipped = fs::path(TAMEWARDEN_SOURCE_DIR) / "plugin" / "config.json";
    EXPECT_EQ(nlohmann::json::parse(ReadAll(shipped)), defaults) << shipped;
}

TEST_F(InstallTest, InstalledServerRunsAndLoadsTheInstalledPlugin) {
    Install();
    const fs::path server = prefix / "bin" / "standin-server";
    ASSERT_TRUE(fs::is_regular_file(server));
    // It starts only if its run path finds the stand-in host library installed in lib/.
    std::string output;
    EXPECT_EQ(Shell(Command({server.string(), "--help"}), output), 0) << output;
    EXPECT_THAT(output, HasSubstr("Usage: " + server.string() + " [options]\n"));

    // The server folder is the prefix: the plugin, its PluginInfo.json and config as installed.
    const fs::path events = prefix / "events.jsonl";
    EXPECT_EQ(Shell(Command({server.string(), "--server-dir", prefix.string(), "--seconds", "0.2",
                             "--events", events.string()}),
                    output),
              0)
        << output;
    const auto loaded = FirstEventOfType(events, "loaded");
    ASSERT_TRUE(loaded.is_object()) << ReadAll(events);
    EXPECT_TRUE(
        fs::equivalent(loaded.at("path").get<std::string>(), PluginFolder() / "TameWarden.so"));
    EXPECT_THAT(output, HasSubstr("=== Summary ==="));
}

TEST_F(InstallTest, OperatorsConfigSurvivesASecondInstall) {
    Install();
    const std::string operatorsConfig = "{\"DestroyDinosOverLevel\": 123}\n";
    std::ofstream(PluginFolder() / "config.json", std::ios::trunc) << operatorsConfig;
    fs::remove(PluginFolder() / "TameWarden.so");
    Install();
    EXPECT_EQ(ReadAll(PluginFolder() / "config.json"), operatorsConfig);
    EXPECT_THAT(lastOutput, HasSubstr("Kept the existing"));
    // The rest is installed again.
    EXPECT_TRUE(fs::is_regular_file(PluginFolder() / "TameWarden.so"));
}

}  // namespace

// A server folder whose name holds a letter beyond ASCII and one beyond 16 bits: the plugin reads
// its config.json there and keeps its destruction journal there, by the folder's wide name.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/PluginFixture.h"

namespace fs = std::filesystem;

namespace {

class UnicodeFolderTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        fs::remove_all(serverDir);
        serverDir = fs::temp_directory_path() / L"tamewarden-server-\u00c4\U0001F996";
        fs::remove_all(serverDir);
        fs::create_directories(ConfigPath().parent_path());
        host.currentDir = serverDir.string();  // UTF-8, as the host gives it
        MakeWorld();
    }
};

TEST_F(UnicodeFolderTest, DestructionIsRecordedInTheJournalOfThatFolder) {
    WriteConfigJson({{"DestroyDinosOverLevel", 100}});
    host.world->AddDino({.key = "rex", .name = u"Rex", .level = 150});
    LoadPlugin();
    host.commands.RunUpdateCallbacks(0.01f);
    ASSERT_THAT(DestroyedKeys(), ::testing::ElementsAre("rex"));

    std::ifstream journal(ConfigPath().parent_path() / L"destroyed.jsonl", std::ios::binary);
    std::string line;
    ASSERT_TRUE(std::getline(journal, line)) << "no record in the folder's journal";
    const nlohmann::json record = nlohmann::json::parse(line);
    EXPECT_EQ(record.at("creature"), "Rex");
    EXPECT_EQ(record.at("seq"), 1);
}

}  // namespace

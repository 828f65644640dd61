// "tmwd.reload" on the console and over RCON: replies, colours, the failure log line, and what a
// failed reload does to the configuration in force.
#include <gmock/gmock.h>

#include <chrono>
#include <thread>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ConfigReloadTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
        WriteConfig(R"({"DestroyDinosOverLevel": 50})");
        LoadPlugin();
        host.events.Clear();
    }

    void ConsoleReload() { host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer()); }

    std::vector<nlohmann::json> ConsoleReplies() const {
        std::vector<nlohmann::json> replies;
        for (const auto& reply : Events("reply"))
            if (reply.at("channel") == "console") replies.push_back(reply);
        return replies;
    }
};

TEST_F(ConfigReloadTest, ConsoleReloadOfValidFileRepliesInGreenAndLogsNothing) {
    ConsoleReload();
    const auto replies = ConsoleReplies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].at("text"), "TameWarden: Reloaded config");
    EXPECT_EQ(replies[0].at("color"), nlohmann::json({0.0, 1.0, 0.0, 1.0}));
    EXPECT_EQ(replies[0].at("player"), "");  // the admin controller has no actor key
    EXPECT_THAT(
        replies[0].at("module").get<std::string>(),
        ::testing::EndsWith(std::filesystem::path(TAMEWARDEN_PLUGIN_PATH).filename().string()));
    EXPECT_THAT(Events("log"), IsEmpty());
}

TEST_F(ConfigReloadTest, ConsoleReloadOfRemovedFileRepliesInRedAndLogsCritical) {
    RemoveConfig();
    ConsoleReload();
    const auto replies = ConsoleReplies();
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].at("text"), "TameWarden: Failed to reload config");
    EXPECT_EQ(replies[0].at("color"), nlohmann::json({1.0, 0.0, 0.0, 1.0}));
    const auto logs = Events("log");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].at("level"), "critical");
    EXPECT_EQ(logs[0].at("text"), "Failed to reload config! \n Can't open config.json");
}

TEST_F(ConfigReloadTest, ReloadOfTruncatedFileKeepsPreviousConfig) {
    WriteConfig(R"({"DestroyDinosOverLevel": 5000, "MinDinoLevel": )");
    ConsoleReload();
    ASSERT_EQ(ConsoleReplies().size(), 1u);
    EXPECT_EQ(ConsoleReplies()[0].at("text"), "TameWarden: Failed to reload config");
    EXPECT_THAT(Texts("log")[0],
                ::testing::StartsWith("Failed to reload config! \n "
                                      "[json.exception.parse_error.101] parse error at line 1"));
    // The previous threshold of 50 still holds for the next check.
    host.world->SpawnDino({.key = "rex", .level = 60});
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (DestroyedKeys().empty() && std::chrono::steady_clock::now() < end) {
        host.commands.RunUpdateCallbacks(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
}

TEST_F(ConfigReloadTest, ConsoleReloadWithoutPlayerReadsFileAndSendsNothing) {
    WriteConfig("not json");
    host.commands.ExecuteConsole("tmwd.reload", nullptr);
    EXPECT_THAT(ConsoleReplies(), IsEmpty());
    EXPECT_EQ(Events("log").size(), 1u);  // the file was read again and failed
}

TEST_F(ConfigReloadTest, RconReloadRepliesToTheRequestId) {
    host.commands.ExecuteRcon("tmwd.reload", nullptr, 77);
    RemoveConfig();
    host.commands.ExecuteRcon("tmwd.reload", nullptr, -5);
    std::vector<std::pair<int, std::string>> replies;
    for (const auto& reply : Events("reply"))
        replies.emplace_back(reply.at("id"), reply.at("text"));
    EXPECT_THAT(replies, ElementsAre(std::pair<int, std::string>{77, "TameWarden: Reloaded config"},
                                     std::pair<int, std::string>{
                                         -5, "TameWarden: Failed to reload config"}));
}

// A top level that is no object would stop every check: that reload fails.
TEST_F(ConfigReloadTest, TrailingTextAfterOneValueIsAcceptedAndANonObjectTopLevelIsRefused) {
    WriteConfig(R"({"MinDinoLevel": 3} trailing words)");
    ConsoleReload();
    WriteConfig("[1, 2, 3]");
    ConsoleReload();
    EXPECT_THAT(Texts("reply"),
                ElementsAre("TameWarden: Reloaded config", "TameWarden: Failed to reload config"));
}

}  // namespace

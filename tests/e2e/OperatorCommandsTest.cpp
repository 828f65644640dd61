// "tmwd.status" and "tmwd.preview" over RCON and on the console of a running standin-server:
// what the plugin is doing, and what a configuration would do to the live world, checked
// against what a server loaded with that configuration really does.
#include <gmock/gmock.h>

#include <cstdio>
#include <fstream>
#include <thread>

#include "host/GameFacts.h"
#include "standin/World.h"
#include "tests/e2e/RconClient.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

constexpr int32_t Tribe = Game::FirstTribeId;

nlohmann::json Coherent(nlohmann::json creature) {
    creature["levelUpPoints"] = standin::CoherentPoints(creature.at("level"));
    return creature;
}

// Creatures every rule of CandidateConfig acts on, and some it leaves.
nlohmann::json PreviewWorld() {
    std::vector<int> strong(12, 0);
    strong[0] = 30000;
    nlohmann::json stats = Coherent({{"key", "strong"}, {"name", "Stego"}, {"level", 50}});
    stats["currentStatus"] = strong;
    return {{"creatures",
             {Coherent({{"key", "huge"}, {"name", "Rex"}, {"team", Tribe}, {"level", 900}}),
              Coherent({{"key", "tall"}, {"name", "Giga"}, {"team", 700}, {"level", 350}}),
              Coherent({{"key", "tiny"}, {"name", "Dodo"}, {"team", 800}, {"level", 1}}),
              {{"key", "odd"}, {"name", "Raptor"}, {"team", 900}, {"level", 60}},
              stats,
              Coherent({{"key", "plain"}, {"name", "Parasaur"}, {"team", 901}, {"level", 40}}),
              Coherent({{"key", "boss"}, {"name", "Dragon"}, {"level", 5000}, {"boss", true}})}}};
}

nlohmann::json CandidateConfig() {
    return {{"DestroyDinosOverLevel", 500},          {"EnableLevelWarning", true},
            {"LevelWarningThreshold", 300},          {"MinDinoLevel", 2},
            {"AutoDestroyDinosBelowMinLevel", true}, {"DestroyIncoherentDinos", false},
            {"DestroyDinosOverStatValue", true},     {"StatValueLimits", {{"Health", 20000}}}};
}

// Every rule off: the world stays as it is, for the preview to look at.
nlohmann::json QuietConfig() {
    return {{"DestroyDinosOverLevel", -1}, {"DestroyIncoherentDinos", false}};
}

class OperatorCommandsTest : public ::testing::Test {
protected:
    void Start(const nlohmann::json& config, const nlohmann::json& world,
               std::vector<std::string> extra = {}) {
        folder.WriteConfig(config);
        folder.WriteWorld(world);
        int port = 0;
        server = StartWithRcon(folder, "pw", port, extra);
        ASSERT_NE(port, 0) << server->Output();
        ASSERT_TRUE(folder.WaitForEvents(
            [](const auto& events) {
                return std::any_of(events.begin(), events.end(),
                                   [](const auto& event) { return event.at("type") == "loaded"; });
            },
            ServerWait));
        rcon = std::make_unique<RconClient>(port);
        ASSERT_EQ(rcon->Authenticate("pw"), 1);
    }
    void TearDown() override {
        if (!server) return;
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(ServerWait), 0) << server->Output();
    }
    std::string Command(const std::string& line) {
        const auto reply = rcon->Execute(line, ++requestId);
        EXPECT_TRUE(reply) << line;
        return reply.value_or("");
    }
    void WriteFile(const std::string& name, const nlohmann::json& document) {
        std::ofstream(folder.ConfigPath().parent_path() / name) << document.dump();
    }

    ServerFolder folder;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<RconClient> rcon;
    int32_t requestId = 10;
};

TEST_F(OperatorCommandsTest, StatusShowsTheRulesInForceAndTheLastReloadsOutcome) {
    Start(CandidateConfig(), nlohmann::json::object());
    const std::string before = Command("tmwd.status");
    EXPECT_THAT(before, StartsWith("TameWarden 1.0, config " + folder.ConfigPath().string()));
    EXPECT_THAT(before, AllOf(HasSubstr("; no reload since load\n"),
                              HasSubstr("\nover-level: destroy at level >= 500\n"),
                              HasSubstr("\nlevel warning: report at level >= 300\n"),
                              HasSubstr("\nminimum level: destroy at level <= 2\n"),
                              HasSubstr("\nincoherent: report\n"),
                              HasSubstr("\nstat limits: destroy at Health >= 20000\n"),
                              HasSubstr("\nreports: no URL, nothing reaches the chat"),
                              HasSubstr("\nchecked 0 at load, 0 after BeginPlay; destroyed 0, "
                                        "reported 0\n"),
                              HasSubstr("\nqueue: 0 waiting\n"),
                              HasSubstr("\nposts: 0 sent, 0 waiting, 0 dropped")));
    EXPECT_LT(before.size(), 1000u);

    // A key of the wrong type would stop every check: that file is not put in force.
    folder.WriteConfig({{"DestroyDinosOverLevel", -1}, {"MinDinoLevel", "five"}});
    EXPECT_EQ(Command("tmwd.reload"), "TameWarden: Failed to reload config");
    const std::string refused = Command("tmwd.status");
    EXPECT_THAT(refused, AllOf(HasSubstr("; last reload failed, this config stays: key "
                                         "\"MinDinoLevel\" in "),
                               HasSubstr("\nover-level: destroy at level >= 500\n")));

    folder.WriteConfig({{"DestroyDinosOverLevel", -1}, {"MinDinoLevel", 5}});
    EXPECT_EQ(Command("tmwd.reload"), "TameWarden: Reloaded config");
    const std::string reloaded = Command("tmwd.status");
    EXPECT_THAT(reloaded,
                AllOf(HasSubstr("; last reload: reloaded\n"), HasSubstr("\nover-level: off\n"),
                      HasSubstr("\nlevel warning: off\n"),
                      HasSubstr("\nminimum level: report at level <= 5\n")));

    folder.RemoveConfig();
    EXPECT_EQ(Command("tmwd.reload"), "TameWarden: Failed to reload config");
    const std::string failed = Command("tmwd.status");
    EXPECT_THAT(failed, HasSubstr("; last reload failed, this config stays: Can't open "
                                  "config.json\n"));
    EXPECT_THAT(failed, HasSubstr("\nover-level: off\n"));  // still the config of the last read

    // The console gets the same text.
    server->WriteLine("tmwd.status");
    ASSERT_TRUE(folder.WaitForEvents(
        [](const auto& events) {
            return std::count_if(events.begin(), events.end(), [](const auto& event) {
                       return event.at("type") == "reply" && event.at("channel") == "console";
                   }) == 1;
        },
        ServerWait));
    const auto replies = folder.Events("reply");
    EXPECT_EQ(replies.back().at("text"), failed);
}

TEST_F(OperatorCommandsTest, StatusShowsAStalledQueueWithItsFailure) {
    Start({{"DestroyDinosOverLevel", -1}, {"MinDinoLevel", "five"}},
          {{"creatures",
            {{{"key", "a"}, {"level", 3}, {"beginPlayAt", 0.1}},
             {{"key", "b"}, {"level", 3}, {"beginPlayAt", 0.2}}}}});
    ASSERT_TRUE(folder.WaitForEvents(
        [](const auto& events) {
            return std::any_of(events.begin(), events.end(), [](const auto& event) {
                return event.at("type") == "log" && event.at("level") == "critical";
            });
        },
        ServerWait));
    EXPECT_THAT(Command("tmwd.status"),
                HasSubstr("\nqueue: 2 waiting, stalled at the first: key \"MinDinoLevel\": "
                          "[json.exception.type_error.302] type must be number, but is string\n"));
    folder.WriteConfig({{"DestroyDinosOverLevel", -1}, {"MinDinoLevel", 5}});
    EXPECT_EQ(Command("tmwd.reload"), "TameWarden: Reloaded config");
    std::string status;
    for (int tries = 0; tries < 200; ++tries) {
        status = Command("tmwd.status");
        if (status.find("\nqueue: 0 waiting\n") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_THAT(status, AllOf(HasSubstr("\nqueue: 0 waiting\n"),
                              HasSubstr("checked 0 at load, 2 after BeginPlay; destroyed 0, "
                                        "reported 2\n")));
}

TEST_F(OperatorCommandsTest, StatusCountsReportsWaitingForAPacedChat) {
    nlohmann::json creatures = nlohmann::json::array();
    for (int index = 0; index < 50; ++index)
        creatures.push_back({{"key", "dino-" + std::to_string(index)}, {"level", 2000}});
    const int chatPort = FreePort();
    Start({{"LevelWarningWebhook", "http://127.0.0.1:" + std::to_string(chatPort) + "/hook"}},
          {{"creatures", creatures}}, {"--webhook-listen", std::to_string(chatPort)});
    const std::string status = Command("tmwd.status");
    EXPECT_THAT(status, HasSubstr("checked 50 at load, 0 after BeginPlay; destroyed 50, "
                                  "reported 50\n"));
    // Five posts per two seconds: the fifty take twenty seconds, so most of them still wait.
    const auto line = status.find("\nposts: ");
    ASSERT_NE(line, std::string::npos) << status;
    int sent = -1, waiting = -1, dropped = -1;
    ASSERT_EQ(std::sscanf(status.c_str() + line, "\nposts: %d sent, %d waiting, %d dropped", &sent,
                          &waiting, &dropped),
              3)
        << status;
    EXPECT_GT(waiting, 5);
    EXPECT_EQ(sent + waiting, 50);
    EXPECT_EQ(dropped, 0);
}

TEST_F(OperatorCommandsTest, PreviewOfACandidateFileMatchesAFreshLoadWithThatFile) {
    Start(QuietConfig(), PreviewWorld());
    WriteFile("config.new.json", CandidateConfig());
    const size_t postsBefore = folder.Events("post").size();  // the incoherent report at load
    const std::string preview = Command("tmwd.preview config.new.json");
    EXPECT_THAT(preview, StartsWith("TameWarden preview of config.new.json, nothing changed: 7 "
                                    "creature(s) checked\n"));
    // The boss is exempt; each rule sees what the rules before it left.
    EXPECT_THAT(preview,
                HasSubstr("\nover-level: of 6 creature(s), destroy 1, only report 0, leave 5\n"
                          "level warning: of 5 creature(s), destroy 0, only report 1, leave 4\n"
                          "minimum level: of 4 creature(s), destroy 1, only report 0, leave 3\n"
                          "incoherent: of 3 creature(s), destroy 0, only report 1, leave 2\n"
                          "stat limits: of 2 creature(s), destroy 1, only report 0, leave 1\n"));
    EXPECT_THAT(preview, HasSubstr("\nwould destroy Rex level 900 team 1000050001 at X=0.000 "
                                   "Y=0.000 Z=0.000 (over-level)"));
    EXPECT_THAT(preview, HasSubstr("\nwould only report Raptor level 60 team 900 at X=0.000 "
                                   "Y=0.000 Z=0.000 (incoherent)"));
    EXPECT_LT(preview.size(), 4000u);
    // Nothing happened to the live world, and the configuration in force is unchanged.
    EXPECT_TRUE(folder.Events("destroyed").empty());
    EXPECT_EQ(folder.Events("post").size(), postsBefore);
    EXPECT_THAT(Command("tmwd.status"), HasSubstr("\nover-level: off\n"));

    // A fresh server with the candidate as its config.json destroys what the preview named.
    ServerFolder fresh;
    fresh.WriteConfig(CandidateConfig());
    fresh.WriteWorld(PreviewWorld());
    std::vector<std::string> arguments = fresh.Arguments();
    arguments.insert(arguments.end(), {"--seconds", "0.5"});
    ServerProcess loaded(arguments);
    ASSERT_EQ(loaded.WaitForExit(ServerWait), 0) << loaded.Output();
    EXPECT_THAT(Creatures(fresh.Events(), "destroyed"), ElementsAre("huge", "tiny", "strong"));
    EXPECT_EQ(fresh.Events("post").size(), 5u);  // one report per creature a rule acted on
}

TEST_F(OperatorCommandsTest, PreviewOfTheConfigInForceLooksAtTheWorldAsItIsNow) {
    Start(QuietConfig(), PreviewWorld());
    const std::string preview = Command("tmwd.preview");
    EXPECT_THAT(preview, StartsWith("TameWarden preview of the config in force, nothing changed: "
                                    "7 creature(s) checked\n"));
    EXPECT_THAT(preview,
                HasSubstr("\nover-level: of 6 creature(s), destroy 0, only report 0, leave 6\n"));
    EXPECT_THAT(preview,
                HasSubstr("\nincoherent: of 6 creature(s), destroy 0, only report 1, leave 5\n"));
}

TEST_F(OperatorCommandsTest, PreviewStopsWhereACheckWouldAndNamesTheKey) {
    Start(QuietConfig(), PreviewWorld());
    nlohmann::json candidate = CandidateConfig();
    candidate["EnableLevelWarning"] = 1;
    WriteFile("broken.json", candidate);
    const std::string preview = Command("tmwd.preview broken.json");
    // Rex is destroyed for its level before the warning is read; Giga's check reads it.
    EXPECT_THAT(preview, HasSubstr(", nothing changed: 1 creature(s) checked\n"));
    EXPECT_THAT(preview, HasSubstr("\nwould destroy Rex level 900"));
    EXPECT_THAT(preview, HasSubstr("\nstopped at Giga level 350 team 700 at X=0.000 Y=0.000 "
                                   "Z=0.000, as a check would: key \"EnableLevelWarning\" in "
                                   "broken.json: "
                                   "[json.exception.type_error.302] type must be boolean, but "
                                   "is number"));
}

TEST_F(OperatorCommandsTest, PreviewRefusesAnythingButAFileNameInThePluginsFolder) {
    Start(QuietConfig(), nlohmann::json::object());
    for (const std::string name : {"../config.json", "sub/x.json", "..", "a\\b.json"})
        EXPECT_EQ(Command("tmwd.preview " + name),
                  "TameWarden: preview refused: \"" + name +
                      "\" is not a file name in the plugin's folder (no path separators, no "
                      "\"..\")");
    EXPECT_EQ(Command("tmwd.preview nope.json"),
              "TameWarden: preview of nope.json failed: Can't open nope.json");
    std::ofstream(folder.ConfigPath().parent_path() / "bad.json") << "{\"MinDinoLevel\": ";
    EXPECT_THAT(Command("tmwd.preview bad.json"),
                StartsWith("TameWarden: preview of bad.json failed: "
                           "[json.exception.parse_error.101]"));
}

}  // namespace

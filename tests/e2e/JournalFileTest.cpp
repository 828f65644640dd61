// The destruction journal as an operator meets it: a server killed right after a destruction
// keeps the record whole, and tamewarden-check reads a journal back, odd names and broken lines
// included.
#include <gmock/gmock.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::SizeIs;

namespace {

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(JournalFileTest, ServerKilledJustAfterADestructionKeepsTheWholeRecord) {
    ServerFolder folder;
    folder.WriteConfig({{"DestroyDinosOverLevel", 500}});
    folder.WriteWorld(
        {{"creatures",
          {{{"key", "late-rex"}, {"name", "Rex"}, {"level", 900}, {"beginPlayAt", 0.2}}}}});
    std::vector<std::string> arguments = folder.Arguments();
    arguments.insert(arguments.end(), {"--seconds", "60", "--tick-rate", "30"});
    ServerProcess server(arguments);
    ASSERT_TRUE(folder.WaitForEvents(
        [](const std::vector<nlohmann::json>& events) {
            return !Creatures(events, "destroyed").empty();
        },
        std::chrono::seconds(30)))
        << server.Output();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    server.Signal(SIGKILL);
    ASSERT_EQ(server.WaitForExit(std::chrono::seconds(10)), 128 + SIGKILL);

    const fs::path journal = folder.ConfigPath().parent_path() / "destroyed.jsonl";
    std::ifstream in(journal, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const std::vector<std::string> lines = Lines(journal);
    ASSERT_THAT(lines, SizeIs(1));
    const nlohmann::json record = nlohmann::json::parse(lines[0]);
    EXPECT_EQ(record.at("creature"), "Rex");
    EXPECT_EQ(record.at("rule"), "over-level");
    EXPECT_EQ(record.at("seq"), 1);
}

TEST(JournalFileTest, CheckerListsMatchingDestructionsAndNamesTheLinesThatAreNoRecord) {
    ServerFolder folder;
    const fs::path journal = folder.Dir() / "destroyed.jsonl";
    {
        std::ofstream out(journal, std::ios::binary);
        out << R"({"time":"2026-12-08T23:59:59.999Z","seq":1,"rule":"over-level","creature":"Old","level":900,"owners":[{"name":"Ann","playerId":11,"eosId":"eos-ann"}],"location":[1,2,3]})"
            << "\n"
            << R"({"time":"2026-12-09T10:00:00.000Z","seq":2,"rule":"stat-limit","creature":"R\"e\u0001x","level":3,"owners":[{"name":"ANN","playerId":11,"eosId":"eos-ann"},{"name":"Zo\u00eb","eosId":""}],"location":[-1.5,0,2.25]})"
            << "\n"
            << R"({"time":"2026-12-09T10:00:01.0)"  // cut short by a failed write
            << "\n"
            << R"({"time":"2026-12-09T11:00:00.000Z","seq":4,"rule":"incoherent","creature":"Dodo","level":10,"owners":[{"name":"Bob","playerId":12,"eosId":"eos-bob"}],"location":null})"
            << "\n";
    }
    ChildProcess checker(TAMEWARDEN_CHECKER_PATH, {"--journal", journal.string(), "--owner", "ann",
                                                   "--since", "2026-12-09"});
    ASSERT_EQ(checker.WaitForExit(std::chrono::seconds(20)), 0);
    EXPECT_EQ(checker.Output(),
              "2026-12-09T10:00:00.000Z stat-limit: R\"e?x level 3, owners ANN [EOS eos-ann], "
              "Zo\xC3\xAB [no EOS id], at X=-1.500 Y=0.000 Z=2.250\n"
              "line 3: not a record, skipped\n"
              "1 destroyed: over-level 0, below-minimum 0, incoherent 0, stat-limit 1\n");

    ChildProcess everything(TAMEWARDEN_CHECKER_PATH, {"--journal", journal.string()});
    ASSERT_EQ(everything.WaitForExit(std::chrono::seconds(20)), 0);
    EXPECT_THAT(everything.Output(),
                ::testing::EndsWith("Dodo level 10, owners Bob [EOS eos-bob], at unknown location\n"
                                    "3 destroyed: over-level 1, below-minimum 0, incoherent 1, "
                                    "stat-limit 1\n"));
}

}  // namespace

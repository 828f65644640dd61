// The destruction journal as an operator meets it: a server killed right after a destruction
// keeps the record whole, and tamewarden-check reads a journal back, odd names and broken lines
// included.
#include <fmt/format.h>
#include <gmock/gmock.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "audit/RuleIdentity.h"
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

// The reader's count line: the records destroyed in all, and by each rule that destroys, in the
// rules' order; a rule not named here destroyed none.
std::string Destroyed(std::map<std::string, int> byRule) {
    int total = 0;
    std::string rules;
    for (const RuleIdentity& rule : AllRules()) {
        if (!rule.CanDestroy()) continue;
        const int count = byRule[rule.journalName];
        total += count;
        rules += fmt::format("{}{} {}", rules.empty() ? "" : ", ", rule.journalName, count);
    }
    return fmt::format("{} destroyed: {}\n", total, rules);
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

// Two servers of a cluster load the plugin from one folder at once: each keeps a journal and a
// spool of its own, numbered on its own, and the checker reads both, each line naming its map.
TEST(JournalFileTest, TwoServersOnOneFolderEachKeepAJournalOfTheirOwn) {
    ServerFolder folder;
    folder.WriteConfig(
        {{"DestroyDinosOverLevel", 500}, {"LevelWarningWebhook", "http://127.0.0.1:9/x"}});
    const auto world = [](const char* map) {
        nlohmann::json creatures = nlohmann::json::array();
        for (int creature = 0; creature < 6; ++creature)
            creatures.push_back({{"key", fmt::format("rex{}", creature)},
                                 {"name", "Rex"},
                                 {"level", 900},
                                 {"beginPlayAt", creature < 2 ? 0.0 : 0.3 * creature}});
        return nlohmann::json{{"map", map}, {"creatures", creatures}};
    };
    folder.WriteWorld(world("TheIsland_WP"));
    const fs::path secondWorld = folder.Dir() / "second-world.json";
    std::ofstream(secondWorld) << world("ScorchedEarth_WP").dump();
    std::vector<std::string> first = folder.Arguments();
    first.insert(first.end(), {"--seconds", "4", "--tick-rate", "30"});
    ServerProcess island(first);
    ASSERT_TRUE(folder.WaitForEvents(
        [](const std::vector<nlohmann::json>& events) {
            return !Creatures(events, "destroyed").empty();
        },
        std::chrono::seconds(20)))
        << island.Output();
    const fs::path secondEvents = folder.Dir() / "second-events.jsonl";
    ServerProcess scorched({"--server-dir", folder.Dir().string(), "--world", secondWorld.string(),
                            "--events", secondEvents.string(), "--seconds", "3", "--tick-rate",
                            "30"});
    ASSERT_EQ(island.WaitForExit(std::chrono::seconds(20)), 0) << island.Output();
    ASSERT_EQ(scorched.WaitForExit(std::chrono::seconds(20)), 0) << scorched.Output();

    const fs::path plugin = folder.ConfigPath().parent_path();
    for (const char* name : {"destroyed.jsonl", "destroyed.2.jsonl"}) {
        SCOPED_TRACE(name);
        std::vector<uint64_t> seqs;
        for (const std::string& line : Lines(plugin / name))
            seqs.push_back(nlohmann::json::parse(line).at("seq"));
        EXPECT_THAT(seqs, ElementsAre(1, 2, 3, 4, 5, 6));
    }
    EXPECT_TRUE(fs::exists(plugin / "outbox.jsonl"));
    EXPECT_TRUE(fs::exists(plugin / "outbox.2.jsonl"));
    ChildProcess checker(TAMEWARDEN_CHECKER_PATH, {"--journal", plugin.string()});
    ASSERT_EQ(checker.WaitForExit(std::chrono::seconds(20)), 0) << checker.Output();
    const std::string listing = checker.Output();
    size_t islandLines = 0, scorchedLines = 0;
    for (size_t at = listing.find(" seq "); at != std::string::npos;
         at = listing.find(" seq ", at + 1)) {
        const size_t lineStart = listing.rfind('\n', at) + 1;
        const std::string_view line(listing.data() + lineStart, at - lineStart);
        islandLines += line.ends_with(" TheIsland_WP");
        scorchedLines += line.ends_with(" ScorchedEarth_WP");
    }
    EXPECT_EQ(islandLines, 6u) << listing;
    EXPECT_EQ(scorchedLines, 6u) << listing;
    EXPECT_THAT(listing, ::testing::HasSubstr("12 destroyed: over-level 12"));
}

// A record as the plugin writes it, cut to the members a listing shows.
std::string Record(const std::string& time, int seq, const std::string& map,
                   const std::string& creature, const std::string& owner, int playerId) {
    return nlohmann::json({{"time", time},
                           {"seq", seq},
                           {"rule", "over-level"},
                           {"map", map},
                           {"creature", creature},
                           {"level", 1200},
                           {"owners", {{{"name", owner}, {"playerId", playerId}, {"eosId", ""}}}},
                           {"location", {1, 2, 3}}})
               .dump() +
           "\n";
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Two servers of a cluster, each with rotated files, answered in one run, oldest first.
TEST(JournalFileTest, CheckerMergesTheJournalsOfSeveralServersAndNamesWhatIsMissing) {
    ServerFolder folder;
    const fs::path a = folder.Dir() / "island", b = folder.Dir() / "scorched";
    fs::create_directories(a);
    fs::create_directories(b);
    WriteFile(a / "destroyed-2026-12-09T11-00-00.000Z.jsonl",
              Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Zo\xC3\xAB", 7) +
                  Record("2026-12-09T10:59:00.000Z", 2, "TheIsland", "Dodo", "Ann", 8));
    WriteFile(a / "destroyed.jsonl",
              Record("2026-12-09T11:30:00.000Z", 3, "TheIsland", "Giga", "Ann", 8) +
                  Record("2026-12-09T12:00:00.000Z", 5, "TheIsland", "Tek Rex", "Bob", 9));
    // A second rotation within the same millisecond is written later than the first.
    WriteFile(b / "destroyed-2026-12-09T10-00-00.000Z-2.jsonl",
              Record("2026-12-09T10:30:00.000Z", 2, "Scorched", "Wyvern", "Zo\xC3\xAB", 7));
    WriteFile(b / "destroyed-2026-12-09T10-00-00.000Z.jsonl",
              Record("2026-12-09T09:00:00.000Z", 1, "Scorched", "Raptor", "Cy", 10));
    WriteFile(b / "destroyed.jsonl",
              R"({"time":"2026-12-09T11:00:00.0)"
              "\n" +
                  Record("2026-12-09T11:45:00.000Z", 3, "Scorched", "Rex", "Cy", 10));

    ChildProcess all(TAMEWARDEN_CHECKER_PATH, {"--journal", a.string(), b.string()});
    ASSERT_EQ(all.WaitForExit(std::chrono::seconds(20)), 1);
    const std::string owners = ", at X=1.000 Y=2.000 Z=3.000\n";
    EXPECT_EQ(
        all.Output(),
        "2026-12-09T09:00:00.000Z Scorched seq 1 over-level: Raptor level 1200, owners Cy "
        "[no EOS id]" +
            owners +
            "2026-12-09T10:00:00.000Z TheIsland seq 1 over-level: Rex level 1200, owners "
            "Zo\xC3\xAB [no EOS id]" +
            owners +
            "2026-12-09T10:30:00.000Z Scorched seq 2 over-level: Wyvern level 1200, owners "
            "Zo\xC3\xAB [no EOS id]" +
            owners +
            "2026-12-09T10:59:00.000Z TheIsland seq 2 over-level: Dodo level 1200, owners Ann "
            "[no EOS id]" +
            owners +
            "2026-12-09T11:30:00.000Z TheIsland seq 3 over-level: Giga level 1200, owners Ann "
            "[no EOS id]" +
            owners +
            "2026-12-09T11:45:00.000Z Scorched seq 3 over-level: Rex level 1200, owners Cy "
            "[no EOS id]" +
            owners +
            "2026-12-09T12:00:00.000Z TheIsland seq 5 over-level: Tek Rex level 1200, owners Bob "
            "[no EOS id]" +
            owners + (a / "destroyed.jsonl").string() + " line 2: seq 5 follows 3, 1 missing\n" +
            (b / "destroyed.jsonl").string() + " line 1: skipped, cut short\n" +
            Destroyed({{"over-level", 7}}) +
            "1 line skipped: 1 cut short\n"
            "1 gap in seq: 1 record missing\n");

    // By an owner's name with another case beyond ASCII, or a player id, by creature, in a time
    // span: the records whole.
    for (const char* owner : {"ZO\xC3\x8B", "7"}) {
        ChildProcess query(TAMEWARDEN_CHECKER_PATH,
                           {"--journal", (a / "destroyed-2026-12-09T11-00-00.000Z.jsonl").string(),
                            b.string(), "--owner", owner, "--creature", "REX", "--json", "--since",
                            "2026-12-09 10:00", "--until", "2026-12-09 10:00:00"});
        ASSERT_EQ(query.WaitForExit(std::chrono::seconds(20)), 1);
        EXPECT_EQ(query.Output(),
                  Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Zo\xC3\xAB", 7) +
                      (b / "destroyed.jsonl").string() + " line 1: skipped, cut short\n" +
                      Destroyed({{"over-level", 1}}) + "1 line skipped: 1 cut short\n");
    }

    ChildProcess badDate(TAMEWARDEN_CHECKER_PATH,
                         {"--journal", a.string(), "--since", "2026-12-09 25:00"});
    ASSERT_EQ(badDate.WaitForExit(std::chrono::seconds(20)), 2);
    EXPECT_THAT(badDate.Output(), ::testing::StartsWith("tamewarden-check: --since cannot read "
                                                        "the date \"2026-12-09 25:00\"\n"));
    fs::create_directory(a / "elsewhere");
    ChildProcess noJournal(TAMEWARDEN_CHECKER_PATH, {"--journal", (a / "elsewhere").string()});
    ASSERT_EQ(noJournal.WaitForExit(std::chrono::seconds(20)), 2);
    EXPECT_THAT(noJournal.Output(), ::testing::HasSubstr("holds no journal"));
}

// A record's line as the checker lists it, for records made by Record().
std::string Listed(const std::string& time, const std::string& map, int seq,
                   const std::string& creature, const std::string& owner) {
    return time + " " + (map.empty() ? "" : map + " ") + "seq " + std::to_string(seq) +
           " over-level: " + creature + " level 1200, owners " + owner +
           " [no EOS id], at X=1.000 Y=2.000 Z=3.000";
}

// The clock set back before a rotation: the later file's name holds the earlier time.
TEST(JournalFileTest, CheckerReadsRotatedFilesInSeqOrderWhateverTheirNamesSay) {
    ServerFolder folder;
    const fs::path journal = folder.Dir() / "island";
    fs::create_directories(journal);
    WriteFile(journal / "destroyed-2026-12-09T18-00-00.000Z.jsonl",
              Record("2026-12-09T17:00:00.000Z", 1, "TheIsland", "Rex", "Ann", 8) +
                  Record("2026-12-09T17:59:00.000Z", 2, "TheIsland", "Dodo", "Ann", 8));
    WriteFile(journal / "destroyed-2026-12-09T12-00-00.000Z.jsonl",
              Record("2026-12-09T11:00:00.000Z", 3, "TheIsland", "Giga", "Bob", 9) +
                  Record("2026-12-09T11:59:00.000Z", 4, "TheIsland", "Wyvern", "Bob", 9));
    WriteFile(journal / "destroyed.jsonl",
              Record("2026-12-09T12:30:00.000Z", 5, "TheIsland", "Raptor", "Cy", 10));

    ChildProcess checker(TAMEWARDEN_CHECKER_PATH, {"--journal", journal.string()});
    ASSERT_EQ(checker.WaitForExit(std::chrono::seconds(20)), 0) << checker.Output();
    EXPECT_EQ(checker.Output(),
              Listed("2026-12-09T17:00:00.000Z", "", 1, "Rex", "Ann") + "\n" +
                  Listed("2026-12-09T17:59:00.000Z", "", 2, "Dodo", "Ann") + "\n" +
                  Listed("2026-12-09T11:00:00.000Z", "", 3, "Giga", "Bob") + "\n" +
                  Listed("2026-12-09T11:59:00.000Z", "", 4, "Wyvern", "Bob") + "\n" +
                  Listed("2026-12-09T12:30:00.000Z", "", 5, "Raptor", "Cy") + "\n" +
                  Destroyed({{"over-level", 5}}));
}

// Files under the test's folder, a query there, and what it answers ("FOLDER" stands for the
// folder's path).
struct JournalReadCase {
    const char* behaviour;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> arguments;
    int exitStatus;
    std::string output;
};

TEST(JournalFileTest, CheckerReadsWhatServersOfOneFolderWrite) {
    const std::string refused =
        R"({"time":"2026-12-09T10:00:01.000Z","notDone":2,"reason":"the game refused the destroy"})"
        "\n";
    std::string badName = Record("2026-12-09T10:30:00.000Z", 2, "TheIsland", "Rex", "Ann", 8);
    badName.replace(badName.find("Rex"), 3, "R\xFFx");
    const std::string refusedRecord =
        Record("2026-12-09T10:00:01.000Z", 2, "TheIsland", "Dodo", "Ann", 8);
    const std::vector<JournalReadCase> cases = {
        {"a line that is not UTF-8 is skipped and named, and --json stays valid",
         {{"destroyed.jsonl",
           Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Ann", 8) + badName +
               Record("2026-12-09T11:00:00.000Z", 3, "TheIsland", "Dodo", "Ann", 8)}},
         {"--journal", "FOLDER", "--json"},
         1,
         Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Ann", 8) +
             Record("2026-12-09T11:00:00.000Z", 3, "TheIsland", "Dodo", "Ann", 8) +
             "FOLDER/destroyed.jsonl line 2: skipped, not UTF-8\n"
             "FOLDER/destroyed.jsonl line 3: seq 3 follows 1, 1 missing\n" +
             Destroyed({{"over-level", 2}}) +
             "1 line skipped: 1 not UTF-8\n"
             "1 gap in seq: 1 record missing\n"},
        {"a destroy the game refused shows as not done and is not counted",
         {{"destroyed.jsonl",
           Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Ann", 8) + refusedRecord +
               refused + Record("2026-12-09T10:00:02.000Z", 3, "TheIsland", "Giga", "Ann", 8)}},
         {"--journal", "FOLDER"},
         0,
         Listed("2026-12-09T10:00:00.000Z", "", 1, "Rex", "Ann") + "\n" +
             Listed("2026-12-09T10:00:01.000Z", "", 2, "Dodo", "Ann") +
             " (not done: the game refused the destroy)\n" +
             Listed("2026-12-09T10:00:02.000Z", "", 3, "Giga", "Ann") + "\n" +
             Destroyed({{"over-level", 2}}) + "1 record not done\n"},
        {"a record not done is printed whole with \"done\":false",
         {{"destroyed.jsonl", refusedRecord + refused}},
         {"--journal", "FOLDER", "--json"},
         0,
         refusedRecord.substr(0, refusedRecord.size() - 2) + ",\"done\":false}\n" + Destroyed({}) +
             "1 record not done\n"},
        {"two servers' journals in one folder, each numbered on its own, merged with their maps",
         {{"destroyed.jsonl",
           Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Ann", 8) +
               Record("2026-12-09T12:00:00.000Z", 2, "TheIsland", "Dodo", "Ann", 8)},
          {"destroyed.2-2026-12-09T10-30-00.000Z.jsonl",
           Record("2026-12-09T09:00:00.000Z", 1, "Scorched", "Wyvern", "Cy", 10)},
          {"destroyed.2.jsonl",
           Record("2026-12-09T11:00:00.000Z", 2, "Scorched", "Raptor", "Cy", 10)}},
         {"--journal", "FOLDER"},
         0,
         Listed("2026-12-09T09:00:00.000Z", "Scorched", 1, "Wyvern", "Cy") + "\n" +
             Listed("2026-12-09T10:00:00.000Z", "TheIsland", 1, "Rex", "Ann") + "\n" +
             Listed("2026-12-09T11:00:00.000Z", "Scorched", 2, "Raptor", "Cy") + "\n" +
             Listed("2026-12-09T12:00:00.000Z", "TheIsland", 2, "Dodo", "Ann") + "\n" +
             Destroyed({{"over-level", 4}})},
        {"a server's root folder leads to its plugin folder",
         {{"ArkApi/Plugins/TameWarden/destroyed.jsonl",
           Record("2026-12-09T10:00:00.000Z", 1, "TheIsland", "Rex", "Ann", 8)}},
         {"--journal", "FOLDER"},
         0,
         Listed("2026-12-09T10:00:00.000Z", "", 1, "Rex", "Ann") + "\n" +
             Destroyed({{"over-level", 1}})},
    };
    for (const JournalReadCase& readCase : cases) {
        SCOPED_TRACE(readCase.behaviour);
        ServerFolder folder;
        const fs::path root = folder.Dir() / "server";
        for (const auto& [name, text] : readCase.files) {
            fs::create_directories((root / name).parent_path());
            WriteFile(root / name, text);
        }
        std::vector<std::string> arguments = readCase.arguments;
        for (std::string& argument : arguments)
            if (argument == "FOLDER") argument = root.string();
        ChildProcess checker(TAMEWARDEN_CHECKER_PATH, arguments);
        ASSERT_EQ(checker.WaitForExit(std::chrono::seconds(20)), readCase.exitStatus)
            << checker.Output();
        std::string expected = readCase.output;
        for (size_t at; (at = expected.find("FOLDER")) != std::string::npos;)
            expected.replace(at, 6, root.string());
        EXPECT_EQ(checker.Output(), expected);
    }
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
    ASSERT_EQ(checker.WaitForExit(std::chrono::seconds(20)), 1);
    const std::string missing = journal.string() + " line 3: skipped, cut short\n" +
                                journal.string() + " line 4: seq 4 follows 2, 1 missing\n";
    const std::string broken = "1 line skipped: 1 cut short\n1 gap in seq: 1 record missing\n";
    EXPECT_EQ(checker.Output(),
              "2026-12-09T10:00:00.000Z seq 2 stat-limit: R\"e?x level 3, owners ANN [EOS "
              "eos-ann], Zo\xC3\xAB [no EOS id], at X=-1.500 Y=0.000 Z=2.250\n" +
                  missing + Destroyed({{"stat-limit", 1}}) + broken);

    ChildProcess everything(TAMEWARDEN_CHECKER_PATH, {"--journal", journal.string()});
    ASSERT_EQ(everything.WaitForExit(std::chrono::seconds(20)), 1);
    EXPECT_THAT(everything.Output(),
                ::testing::EndsWith(
                    "seq 4 incoherent: Dodo level 10, owners Bob [EOS eos-bob], at "
                    "unknown location\n" +
                    missing + Destroyed({{"over-level", 1}, {"incoherent", 1}, {"stat-limit", 1}}) +
                    broken));
}

}  // namespace

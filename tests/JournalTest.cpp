// The destruction journal through the loaded plugin: one record per destroyed creature, written
// by the end of the tick, numbered across rotations, and a file that cannot be written. What the
// disk does to a write, and a rename that fails, through the journal itself.
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "audit/AuditRules.h"
#include "audit/DestructionJournal.h"
#include "tests/PluginFixture.h"
#include "tests/TextPattern.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::SizeIs;

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

constexpr int32_t TribeId = 1000050007;
constexpr size_t Health = 0, Torpidity = 2, Water = 5, Weight = 7;

class JournalTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
        host.world->AddPlayer({.id = 11, .eosId = u"eos-ann", .knownToGameMode = true});
        host.world->AddTribe(
            {.id = TribeId, .memberNames = {u"Ann", u"Zo\u00eb \"Q\""}, .memberIds = {11}});
    }

    fs::path JournalPath() const { return ConfigPath().parent_path() / "destroyed.jsonl"; }

    // The sweep at load destroys; the records reach the file by the end of the next tick.
    void SweepAndTick(const json& config) {
        WriteConfigJson(config);
        LoadPlugin();
        host.commands.RunUpdateCallbacks(0.016f);
    }

    static std::vector<std::string> Lines(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    std::string Status() {
        host.events.Clear();
        host.commands.ExecuteConsole("tmwd.status", host.world->AdminPlayer());
        const auto replies = Texts("reply");
        return replies.empty() ? std::string() : replies.back();
    }

    // The per-stat members of a record, from what the creature was made with.
    static json StatsOf(const standin::DinoSpec& creature) {
        return {{"levelUpPoints", creature.levelUpPoints},
                {"tamedLevelUpPoints", creature.levelUpPointsTamed},
                {"tamedMutations", creature.mutationsTamed},
                {"statValues", creature.currentStatus}};
    }
};

struct RuleCase {
    const char* rule;
    json config;
    int32_t level;
    json compared;
};

TEST_F(JournalTest, EachDestroyingRuleWritesOneRecordThatRebuildsTheCreature) {
    // Quotes, a backslash, a control character and an unpaired surrogate in the name.
    const std::u16string name = std::u16string(u"R\u00ebx \"Big\\\" \u0001") + char16_t(0xD800);
    const RuleCase cases[] = {
        {"over-level", {{"DestroyDinosOverLevel", 50}}, 60, {{"threshold", 50}}},
        {"below-minimum",
         {{"MinDinoLevel", 5}, {"AutoDestroyDinosBelowMinLevel", true}},
         3,
         {{"threshold", 5}}},
        {"incoherent", {{"DestroyIncoherentDinos", true}}, 10, {{"level", 10}, {"pointsSum", 4}}},
        {"stat-limit",
         {{"DestroyDinosOverStatValue", true}, {"StatValueLimits", {{"Weight", 500.5}}}},
         1,
         {{"stat", "Weight"}, {"limit", 500.5}, {"value", 650.25}}},
    };
    for (const RuleCase& ruleCase : cases) {
        SCOPED_TRACE(ruleCase.rule);
        SetUp();
        standin::DinoSpec creature{.key = "rex",
                                   .name = name,
                                   .team = TribeId,
                                   .level = ruleCase.level,
                                   .location = {1.5, -2, 3}};
        if (ruleCase.compared.contains("pointsSum"))
            creature.levelUpPoints[Health] = 4;
        else
            creature.levelUpPoints = CoherentPoints(ruleCase.level);
        // On stats that do not count toward the level, so every creature stays as coherent.
        creature.levelUpPointsTamed[Torpidity] = 7;
        creature.mutationsTamed[Water] = 3;
        creature.currentStatus[Health] = 1200.5f;
        creature.currentStatus[Weight] = 650.25f;
        host.world->AddDino(creature);

        SweepAndTick(ruleCase.config);
        ASSERT_THAT(DestroyedKeys(), ElementsAre("rex"));
        const std::vector<std::string> lines = Lines(JournalPath());
        ASSERT_THAT(lines, SizeIs(1));
        const json record = json::parse(lines[0]);
        EXPECT_TRUE(TextPattern(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")
                        .Matches(record.at("time").get<std::string>()));
        EXPECT_EQ(record.at("seq"), 1);
        EXPECT_EQ(record.at("rule"), ruleCase.rule);
        EXPECT_EQ(record.at("map"), "TheIsland_WP");
        EXPECT_EQ(record.at("creature"), "R\xC3\xABx \"Big\\\" \x01\xEF\xBF\xBD");
        EXPECT_EQ(record.at("level"), ruleCase.level);
        EXPECT_EQ(record.at("team"), TribeId);
        EXPECT_EQ(record.at("location"), json::parse("[1.5, -2, 3]"));
        EXPECT_EQ(record.at("owners"),
                  json::parse(R"([{"name": "Ann", "playerId": 11, "eosId": "eos-ann"},
                                  {"name": "Zo\u00eb \"Q\"", "eosId": ""}])"));
        EXPECT_EQ(record.at("compared"), ruleCase.compared);
        const json stats = StatsOf(creature);
        for (const auto& member : stats.items())
            EXPECT_EQ(record.at(member.key()), member.value()) << member.key();
        EXPECT_THAT(PostedMessages(), ElementsAre(record.at("report").get<std::string>()));
        // Every destruction is in the log; the over-level rule's own line says it there.
        std::vector<std::string> warnings;
        for (const json& line : Events("log"))
            if (line.at("level") == "warning") warnings.push_back(line.at("text"));
        ASSERT_THAT(warnings, SizeIs(1));
        const std::string ending =
            std::string(ruleCase.rule) == "over-level"
                ? fmt::format(
                      ") level {} from tribe {} at X=1.500 Y=-2.000 Z=3.000\nMembers: "
                      "Ann - EOS id: eos-ann\nZo? \"Q\" - player id: ",
                      ruleCase.level, TribeId)
                : fmt::format(") level {} team {} ({}), journal seq 1", ruleCase.level, TribeId,
                              ruleCase.rule);
        EXPECT_THAT(warnings[0], ::testing::StartsWith("Destroyed dino("));
        EXPECT_THAT(warnings[0], ::testing::EndsWith(ending));
        EXPECT_THAT(Status(), HasSubstr("\njournal: 1 written, 0 not done, 0 held, "));
        UnloadPlugin();
        TearDown();
    }
}

TEST_F(JournalTest, FullJournalIsRenamedAndTheNumberingGoesOnInTheNewFile) {
    // 10 bytes short of 16 MiB of earlier lines, the last a record numbered 41.
    constexpr size_t RotationSize = 16 * 1024 * 1024;
    const std::string last = R"({"seq":41,"rule":"over-level","creature":"Old"})";
    const std::string filler = std::string(1023, 'x') + "\n";
    const size_t fillerLines = RotationSize / filler.size() - 1;
    const size_t padding = RotationSize - fillerLines * filler.size() - last.size() - 2 - 10;
    {
        std::ofstream out(JournalPath(), std::ios::binary);
        for (size_t line = 0; line < fillerLines; ++line) out << filler;
        out << std::string(padding, 'y') << "\n" << last << "\n";
    }
    const uintmax_t fullSize = fs::file_size(JournalPath());
    host.world->AddDino(
        {.key = "rex", .team = TribeId, .level = 60, .levelUpPoints = CoherentPoints(60)});

    SweepAndTick({{"DestroyDinosOverLevel", 50}});
    std::vector<fs::path> rotated;
    for (const auto& entry : fs::directory_iterator(JournalPath().parent_path()))
        if (entry.path().filename() != "destroyed.jsonl" && entry.path().extension() == ".jsonl")
            rotated.push_back(entry.path());
    ASSERT_THAT(rotated, SizeIs(1));
    EXPECT_TRUE(TextPattern(R"(destroyed-\d{4}-\d\d-\d\dT\d\d-\d\d-\d\d\.\d{3}Z\.jsonl)")
                    .Matches(rotated[0].filename().string()));
    EXPECT_EQ(fs::file_size(rotated[0]), fullSize);
    EXPECT_EQ(Lines(rotated[0]).back(), last);
    const std::vector<std::string> lines = Lines(JournalPath());
    ASSERT_THAT(lines, SizeIs(1));
    EXPECT_EQ(json::parse(lines[0]).at("seq"), 42);
}

struct UnwritableCase {
    const char* what;
    std::function<void(const fs::path&)> make;
    std::function<void(const fs::path&)> mend;
    std::string logLine;  // after the path
};

// Write-ahead: a creature whose record cannot be written is not destroyed, claimed or reported;
// it is held, and destroyed once the journal takes its record.
TEST_F(JournalTest, UnwritableJournalHoldsTheCreaturesUntilItCanRecordThem) {
    const UnwritableCase cases[] = {
        {"a folder in its place", [](const fs::path& path) { fs::create_directory(path); },
         [](const fs::path& path) { fs::remove(path); }, "open"},
        {"a full disk", [](const fs::path& path) { fs::create_symlink("/dev/full", path); },
         [](const fs::path& path) { fs::remove(path); }, "write"},
    };
    for (const UnwritableCase& unwritable : cases) {
        SCOPED_TRACE(unwritable.what);
        SetUp();
        unwritable.make(JournalPath());
        for (const char* key : {"a", "b"})
            host.world->AddDino({.key = key,
                                 .name = u"Rex",
                                 .team = TribeId,
                                 .level = 60,
                                 .levelUpPoints = CoherentPoints(60)});

        SweepAndTick({{"DestroyDinosOverLevel", 50}});
        EXPECT_THAT(Sequence({"destroyed", "post"}), IsEmpty());
        std::vector<std::string> held;
        for (const json& line : Events("log"))
            if (line.at("text").get<std::string>().find(", so dino(") != std::string::npos)
                held.push_back(line.at("text"));
        const std::string path = JournalPath().string();
        EXPECT_THAT(held, ElementsAre(::testing::StartsWith(fmt::format(
                              "Failed to {} the destruction journal {}, so dino(Rex) level 60 "
                              "team {} is not destroyed, nor any creature until a record can "
                              "be written! \n ",
                              unwritable.logLine, path, TribeId))));
        EXPECT_THAT(Status(), HasSubstr("\njournal: 0 written, 0 not done, 2 held, "));

        unwritable.mend(JournalPath());
        host.clockAdvance += std::chrono::seconds(3);
        host.commands.RunUpdateCallbacks(0.016f);
        EXPECT_THAT(Sequence({"destroyed", "post"}),
                    ElementsAre("post", "destroyed a", "post", "destroyed b"));
        EXPECT_THAT(Lines(JournalPath()), SizeIs(2));
        EXPECT_THAT(Status(), HasSubstr("\njournal: 2 written, 0 not done, 0 held, "));
        UnloadPlugin();
        TearDown();
    }
}

std::string RecordLine(uint64_t seq) {
    return fmt::format(R"({{"seq":{},"rule":"over-level"}})", seq) + "\n";
}

struct ChangedUnderItCase {
    const char* what;
    std::function<void(const fs::path&)> change;
    size_t linesAtThePath;  // of the two records
};

// A file or folder removed, renamed or replaced while the journal has it open is noticed at the
// next record, which goes to the file at the path; one line says so.
TEST_F(JournalTest, JournalChangedUnderItIsOpenedAgainAtItsPath) {
    const ChangedUnderItCase cases[] = {
        {"the file removed", [](const fs::path& path) { fs::remove(path); }, 1},
        {"the file renamed",
         [](const fs::path& path) { fs::rename(path, path.parent_path() / "kept.jsonl"); }, 1},
        {"the file replaced",
         [](const fs::path& path) {
             fs::remove(path);
             std::ofstream(path) << RecordLine(7);
         },
         2},
        {"the folder removed", [](const fs::path& path) { fs::remove_all(path.parent_path()); }, 1},
    };
    for (const ChangedUnderItCase& changed : cases) {
        SCOPED_TRACE(changed.what);
        SetUp();
        host.world->AddDino(
            {.key = "first", .team = TribeId, .level = 60, .levelUpPoints = CoherentPoints(60)});
        SweepAndTick({{"DestroyDinosOverLevel", 50}});
        changed.change(JournalPath());
        host.events.Clear();
        host.world->SpawnDino(
            {.key = "second", .team = TribeId, .level = 60, .levelUpPoints = CoherentPoints(60)});
        host.clockAdvance += std::chrono::seconds(2);
        host.commands.RunUpdateCallbacks(0.016f);
        EXPECT_THAT(DestroyedKeys(), ElementsAre("second"));
        const std::vector<std::string> lines = Lines(JournalPath());
        ASSERT_THAT(lines, SizeIs(changed.linesAtThePath));
        const json record = json::parse(lines.back());
        EXPECT_EQ(record.at("seq"), changed.linesAtThePath == 2 ? 8 : 2);
        std::vector<std::string> said;
        for (const json& line : Events("log"))
            if (line.at("text").get<std::string>().find("while open") != std::string::npos)
                said.push_back(line.at("text"));
        EXPECT_THAT(said, ElementsAre("The destruction journal " + JournalPath().string() +
                                      " was removed or replaced while open; it is opened again "
                                      "at that path"));
        UnloadPlugin();
        TearDown();
    }
}

TEST_F(JournalTest, SwitchedOffOrPreviewedNothingIsWritten) {
    host.world->AddDino(
        {.key = "rex", .team = TribeId, .level = 60, .levelUpPoints = CoherentPoints(60)});
    WriteConfigJson({{"DestroyDinosOverLevel", 1000}});
    LoadPlugin();
    std::ofstream(ConfigPath().parent_path() / "next.json") << R"({"DestroyDinosOverLevel": 50})";
    host.commands.ExecuteConsole("tmwd.preview next.json", host.world->AdminPlayer());
    host.commands.RunUpdateCallbacks(0.016f);
    EXPECT_THAT(Lines(JournalPath()), IsEmpty());
    UnloadPlugin();

    SweepAndTick({{"DestroyDinosOverLevel", 50}, {"DestroyJournal", false}});
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
    EXPECT_THAT(Lines(JournalPath()), IsEmpty());
    EXPECT_THAT(Status(), HasSubstr("\njournal: off"));
}

struct NumberingCase {
    const char* what;
    std::map<std::string, std::string> files;  // in the journal's folder
    uint64_t firstSeq;
};

TEST_F(JournalTest, NumberingGoesOnFromTheHighestRecordOfEveryJournalFile) {
    const std::string notRecords(300 * 1024, 'x');
    const NumberingCase cases[] = {
        {"its last record 300 KiB before the end",
         {{"destroyed.jsonl", RecordLine(20) + notRecords + "\n" + notRecords},
          {"destroyed-2026-01-01T00-00-00.000Z.jsonl", RecordLine(12)}},
         21},
        {"the highest in a copy, a stray file and one cut short",
         {{"destroyed.jsonl", RecordLine(3) + R"({"seq":40,"rule")"},
          {"destroyed-2026-01-01T00-00-00.000Z.jsonl", RecordLine(5)},
          {"destroyed-2026-01-01T00-00-00.000Z-2.jsonl", RecordLine(9) + RecordLine(12)},
          {"destroyed-copied-by-hand.jsonl", RecordLine(7)},
          {"kept-aside.jsonl", RecordLine(99)}},
         13},
    };
    for (const NumberingCase& numbering : cases) {
        SCOPED_TRACE(numbering.what);
        SetUp();
        for (const auto& [name, text] : numbering.files)
            std::ofstream(JournalPath().parent_path() / name, std::ios::binary) << text;
        host.world->AddDino(
            {.key = "rex", .team = TribeId, .level = 60, .levelUpPoints = CoherentPoints(60)});

        SweepAndTick({{"DestroyDinosOverLevel", 50}});
        const std::vector<std::string> lines = Lines(JournalPath());
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(json::parse(lines.back()).at("seq"), numbering.firstSeq);
        UnloadPlugin();
        TearDown();
    }
}

// The journal itself, for what the disk does to a write.
class JournalOnDiskTest : public JournalTest {
protected:
    // Writes `count` records of about `bytes` each.
    void AddAndWrite(int count, size_t bytes = 0) {
        DestructionRecord record{.rule = AuditRule::OverLevel, .creature = "Rex"};
        record.report = std::string(bytes, 'r');
        for (int added = 0; added < count; ++added) journal->WriteAhead(record);
    }

    // The seq of each line of the file, 0 for a line that is no record.
    std::vector<uint64_t> Seqs() const {
        std::vector<uint64_t> seqs;
        for (const std::string& line : Lines(JournalPath())) {
            const json record = json::parse(line, nullptr, false);
            seqs.push_back(record.is_object() ? record.at("seq").get<uint64_t>() : 0);
        }
        return seqs;
    }

    std::optional<DestructionJournal> journal;
};

// Files may grow to `bytes`; a write beyond stops part way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &before);
        rlimit limited = before;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, SIG_DFL);
    }

private:
    rlimit before{};
};

struct WriteTroubleCase {
    const char* what;
    std::function<std::shared_ptr<void>(standin::Host&)> trouble;  // lasts while held
    std::vector<uint64_t> seqs;
    uint64_t written;
};

// A record that did not reach the file whole gives its seq to the next one.
TEST_F(JournalOnDiskTest, WriteInTroubleLosesOnlyTheLinesThatDidNotReachTheFile) {
    const WriteTroubleCase cases[] = {
        {"nothing reaches the disk",
         [](standin::Host& standinHost) {
             standinHost.simulatedFileError = [](std::string_view operation) {
                 return operation == "AppendBytes" ? ENOSPC : 0;
             };
             return std::shared_ptr<void>(
                 nullptr, [&standinHost](void*) { standinHost.simulatedFileError = nullptr; });
         },
         {1},
         1},
        {"the disk fills in the second line",
         // A line is a little over 5000 bytes: one fits, two do not.
         [](standin::Host&) { return std::make_shared<FileSizeLimit>(8000); },
         {1, 0, 2},
         2},
    };
    for (const WriteTroubleCase& trouble : cases) {
        SCOPED_TRACE(trouble.what);
        SetUp();
        journal.emplace();
        journal->Open(JournalPath());
        {
            const std::shared_ptr<void> held = trouble.trouble(host);
            AddAndWrite(2, 5000);
        }
        AddAndWrite(1, 5000);
        EXPECT_EQ(Seqs(), trouble.seqs);
        EXPECT_EQ(journal->Statistics().written, trouble.written);
        journal.reset();
        TearDown();
    }
}

TEST_F(JournalOnDiskTest, RenameThatFailedIsTriedAgainAtTheNext16MiB) {
    constexpr size_t Mebibyte = 1024 * 1024;
    std::ofstream(JournalPath(), std::ios::binary) << std::string(16 * Mebibyte - 10, '\n');
    int renames = 0;
    host.simulatedFileError = [&renames](std::string_view operation) {
        return operation == "RenameFile" && ++renames == 1 ? EACCES : 0;
    };
    journal.emplace();
    journal->Open(JournalPath());

    AddAndWrite(1, 9 * Mebibyte);  // the rename fails; the file grows past 16 MiB
    AddAndWrite(1, 9 * Mebibyte);  // past 32 MiB: renamed
    EXPECT_EQ(renames, 2);
    EXPECT_THAT(Seqs(), ElementsAre(2));
    EXPECT_EQ(journal->Statistics().written, 2u);
    journal.reset();
}

// A sweep that fills many small files in a few milliseconds: each rotation renames once, a second
// one within a millisecond going straight to the next copy, so no rename waits on the clock.
TEST_F(JournalTest, RotationsWithinOneMillisecondTakeTheNextCopyWithoutARenameThatFails) {
    host.journalRotationBytes = 2500;
    for (int creature = 0; creature < 40; ++creature)
        host.world->AddDino({.key = fmt::format("rex{}", creature), .name = u"Rex", .level = 2000});
    host.faults.Count(fs::path(TAMEWARDEN_PLUGIN_PATH).filename().string());
    SweepAndTick({{"DestroyDinosOverLevel", 1000}});
    size_t renames = 0;
    for (const auto& operation : host.faults.Operations())
        renames += operation.name == "SystemFiles RenameFile";
    host.faults.Stop();
    ASSERT_THAT(DestroyedKeys(), SizeIs(40));
    size_t rotated = 0, records = 0;
    for (const auto& entry : fs::directory_iterator(JournalPath().parent_path())) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("destroyed")) continue;
        rotated += name.starts_with("destroyed-");
        records += Lines(entry.path()).size();
    }
    EXPECT_EQ(records, 40u);
    EXPECT_GE(rotated, 5u);
    EXPECT_EQ(renames, rotated);
}

}  // namespace

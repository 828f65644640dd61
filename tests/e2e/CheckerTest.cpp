// tamewarden-check run as an operator runs it, a child process on files in a temporary folder:
// each kind of problem named by its key, the exit statuses, and the dry run compared with a real
// run of standin-server on the same world.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>

#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

namespace {

const std::string ExampleConfig =
    std::string(TAMEWARDEN_SOURCE_DIR) + "/examples/server/ArkApi/Plugins/TameWarden/config.json";
const std::string ExampleWorld =
    std::string(TAMEWARDEN_SOURCE_DIR) + "/examples/worlds/example-world.json";

struct ChildRun {
    int status;
    std::string output;
};

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// The output is standard output and standard error together, or standard output alone.
ChildRun RunChecker(const std::vector<std::string>& arguments, bool withErrors = true) {
    std::string command = Quoted(TAMEWARDEN_CHECKER_PATH);
    // Appended word by word: g++ 12 at -O3 misreads " " + Quoted(...), an insert at the front of
    // a temporary, as an overflowing copy.
    for (const auto& argument : arguments) command.append(" ").append(Quoted(argument));
    command += withErrors ? " 2>&1 </dev/null" : " 2>/dev/null </dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {-1, ""};
    std::string output;
    char buffer[4096];
    for (size_t read; (read = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, read);
    const int status = pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

// A config that passes every check: the example's rules with valid limits and web hook.
nlohmann::json CleanConfig() {
    return {{"WhitelistedDinos", {"Mascot Dodo"}},
            {"DestroyDinosOverLevel", 500},
            {"EnableLevelWarning", true},
            {"LevelWarningThreshold", 300},
            {"MinDinoLevel", 2},
            {"AutoDestroyDinosBelowMinLevel", true},
            {"DestroyIncoherentDinos", true},
            {"DestroyDinosOverStatValue", true},
            {"StatValueLimits", {{"Health", 20000}, {"MeleeDamageMultiplier", 6.0}}},
            {"LevelWarningWebhook", "https://chat.example/hooks/1"}};
}

class CheckerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = fs::temp_directory_path() /
                 ("tamewarden-checker-" + std::to_string(::getpid()) + "-" + test->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string WriteText(const std::string& text) {
        const fs::path path = folder / "config.json";
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return path.string();
    }
    // The --json report of a config holding these keys on top of the clean ones (null removes).
    nlohmann::json Check(const nlohmann::json& changes, int expectedStatus = 1) {
        nlohmann::json config = CleanConfig();
        config.merge_patch(changes);
        return CheckText(config.dump(2), expectedStatus);
    }
    nlohmann::json CheckText(const std::string& text, int expectedStatus = 1) {
        const ChildRun run = RunChecker({WriteText(text), "--json"});
        EXPECT_EQ(run.status, expectedStatus) << run.output;
        return nlohmann::json::parse(run.output);
    }
    static std::vector<std::string> Keys(const nlohmann::json& report) {
        std::vector<std::string> keys;
        for (const auto& problem : report.at("problems")) keys.push_back(problem.at("key"));
        return keys;
    }
    static nlohmann::json Problem(const nlohmann::json& report, const std::string& key) {
        for (const auto& problem : report.at("problems"))
            if (problem.at("key") == key) return problem;
        ADD_FAILURE() << "no problem for " << key << " in " << report.dump(2);
        return nlohmann::json::object({{"found", ""}, {"expected", ""}, {"effect", ""}});
    }

    fs::path folder;
};

TEST_F(CheckerTest, CleanConfigPassesWithStatusZero) {
    const ChildRun run = RunChecker({WriteText(CleanConfig().dump(2))});
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.output, HasSubstr("No problems found."));
    EXPECT_EQ(CheckText(CleanConfig().dump(), 0).at("status"), "clean");
    EXPECT_EQ(RunChecker({ExampleConfig}).status, 0) << "the shipped example config";
}

TEST_F(CheckerTest, AbsentKeysTakeTheirDefaultsWithoutComplaint) {
    const auto report = CheckText(R"({"LevelWarningWebhook": "http://127.0.0.1:8080/hook"})", 0);
    EXPECT_THAT(Keys(report), IsEmpty());
}

TEST_F(CheckerTest, KeysOfTheWrongTypeAreNamedWithTheLibrarysTypeError) {
    const auto report = Check({{"EnableLevelWarning", 1},
                               {"DestroyDinosOverLevel", "500"},
                               {"LevelWarningWebhook", 5},
                               {"WhitelistedDinos", "Rex"},
                               {"DestroyIncoherentDinos", nullptr},
                               {"DestroyJournal", "yes"}});
    // null in a merge patch removes the key, so it is absent (and clean) here.
    EXPECT_THAT(Keys(report),
                UnorderedElementsAre("EnableLevelWarning", "DestroyDinosOverLevel",
                                     "LevelWarningWebhook", "WhitelistedDinos", "DestroyJournal"));
    const auto warning = Problem(report, "EnableLevelWarning");
    EXPECT_EQ(warning.at("found"), "1 (number)");
    EXPECT_EQ(warning.at("expected"), "true or false");
    EXPECT_THAT(warning.at("effect").get<std::string>(),
                HasSubstr("type error \"[json.exception.type_error.302] type must be boolean, "
                          "but is number\""));
    EXPECT_THAT(warning.at("effect").get<std::string>(), HasSubstr("deferred queue"));
    EXPECT_THAT(Problem(report, "DestroyDinosOverLevel").at("effect").get<std::string>(),
                HasSubstr("type must be number, but is string"));
    EXPECT_THAT(Problem(report, "LevelWarningWebhook").at("effect").get<std::string>(),
                HasSubstr("type must be string, but is number"));
    EXPECT_THAT(Problem(report, "WhitelistedDinos").at("effect").get<std::string>(),
                HasSubstr("type must be array, but is string"));
    // The journal changes nothing a check does, so its key stops none.
    EXPECT_EQ(Problem(report, "DestroyJournal").at("effect"),
              "type error \"[json.exception.type_error.302] type must be boolean, but is "
              "string\": read as true, the journal is kept");
}

TEST_F(CheckerTest, NullValueIsAWrongType) {
    const auto report = CheckText(R"({"LevelWarningWebhook": "http://h/x", "MinDinoLevel": null})");
    EXPECT_THAT(Keys(report), ElementsAre("MinDinoLevel"));
    EXPECT_THAT(Problem(report, "MinDinoLevel").at("effect").get<std::string>(),
                HasSubstr("type must be number, but is null"));
}

TEST_F(CheckerTest, NumbersThatLoseSomethingAreShownAsTheyAreRead) {
    const auto report = Check(
        {{"MinDinoLevel", 10.9}, {"DestroyDinosOverLevel", true}, {"LevelWarningThreshold", 5e9}});
    EXPECT_THAT(Keys(report), UnorderedElementsAre("MinDinoLevel", "DestroyDinosOverLevel",
                                                   "LevelWarningThreshold",
                                                   // true is read as 1: every creature is over it
                                                   "DestroyDinosOverLevel"));
    EXPECT_THAT(report.at("problems").dump(), HasSubstr("read as 10 (the fraction is cut off)"));
    EXPECT_THAT(Problem(report, "LevelWarningThreshold").at("effect").get<std::string>(),
                ::testing::Eq("out of range: acts on no creature"));
}

TEST_F(CheckerTest, UnknownKeyNamesTheNearestKnownKeyAndTheDefaultThatApplies) {
    nlohmann::json config = CleanConfig();
    config.erase("DestroyDinosOverLevel");
    config["DestroyDinoOverLevel"] = 200;
    config["Colour"] = "red";
    const auto report = CheckText(config.dump());
    EXPECT_THAT(Keys(report), UnorderedElementsAre("DestroyDinoOverLevel", "Colour"));
    const auto misspelt = Problem(report, "DestroyDinoOverLevel");
    EXPECT_EQ(misspelt.at("expected"), "\"DestroyDinosOverLevel\" (the nearest key)");
    EXPECT_EQ(misspelt.at("effect"),
              "ignored by the plugin; \"DestroyDinosOverLevel\" is absent, so its default 1000 "
              "applies meanwhile");
    // The count of the table's keys, in words.
    EXPECT_THAT(Problem(report, "Colour").at("expected").get<std::string>(),
                ::testing::MatchesRegex("one of the [a-z]+ keys"));
}

TEST_F(CheckerTest, WhitelistEntriesThatAreNotStringsAreNamedByIndex) {
    const auto report = Check({{"WhitelistedDinos", {"Rex", 5, nullptr}}});
    EXPECT_THAT(Keys(report), ElementsAre("WhitelistedDinos[1]", "WhitelistedDinos[2]"));
    EXPECT_THAT(Problem(report, "WhitelistedDinos[2]").at("effect").get<std::string>(),
                HasSubstr("type must be string, but is null"));
}

TEST_F(CheckerTest, StatValueLimitsThatIsNotAnObjectFailsTheWalkOrLimitsNothing) {
    auto report = Check({{"StatValueLimits", {1, 2}}});
    EXPECT_THAT(Keys(report), ElementsAre("StatValueLimits"));
    EXPECT_THAT(Problem(report, "StatValueLimits").at("effect").get<std::string>(),
                HasSubstr("cannot use key() for non-object iterators"));
    report = CheckText(R"({"LevelWarningWebhook": "http://h/x", "StatValueLimits": null})");
    EXPECT_THAT(Keys(report), ElementsAre("StatValueLimits"));
    EXPECT_EQ(Problem(report, "StatValueLimits").at("effect"),
              "limits nothing: the walk over it finds no member");
}

TEST_F(CheckerTest, StatNamesMatchingOnlyWithCaseIgnoredAreNotesAndUnknownOnesProblems) {
    const auto report = Check({{"StatValueLimits", {{"health", 100}, {"Helth", 100}}}});
    EXPECT_THAT(Keys(report), ElementsAre("StatValueLimits.Helth"));
    ASSERT_EQ(report.at("notes").size(), 1u);
    EXPECT_EQ(report.at("notes").at(0).at("key"), "StatValueLimits.health");
    EXPECT_THAT(report.at("notes").at(0).at("effect").get<std::string>(),
                HasSubstr("works: the plugin matches stat names with case ignored"));
    const auto unknown = Problem(report, "StatValueLimits.Helth");
    EXPECT_EQ(unknown.at("expected"), "\"Health\" (the nearest stat name)");
    EXPECT_THAT(unknown.at("effect").get<std::string>(), HasSubstr("skipped"));
}

TEST_F(CheckerTest, LimitsThatNeverActOrFailTheWalkAreReported) {
    const auto report =
        Check({{"StatValueLimits", {{"Health", 0}, {"Weight", -5}, {"Food", "high"}}}});
    EXPECT_THAT(Keys(report), ElementsAre("StatValueLimits.Food", "StatValueLimits.Health",
                                          "StatValueLimits.Weight"));
    EXPECT_EQ(Problem(report, "StatValueLimits.Weight").at("effect"),
              "never acts: a limit of 0 or less is ignored");
    EXPECT_THAT(Problem(report, "StatValueLimits.Food").at("effect").get<std::string>(),
                HasSubstr("type must be number, but is string"));
}

TEST_F(CheckerTest, LimitsSetWhileTheStatRuleIsOffAreReported) {
    const auto report = Check({{"DestroyDinosOverStatValue", false}});
    EXPECT_THAT(Keys(report), ElementsAre("StatValueLimits"));
    EXPECT_EQ(Problem(report, "StatValueLimits").at("expected"),
              "\"DestroyDinosOverStatValue\": true");
}

TEST_F(CheckerTest, WebhookThatIsEmptyOrNotHttpIsReported) {
    for (const char* url : {"ftp://host/x", "http://", "hooks.example/x", "http://a b/"}) {
        const auto report = Check({{"LevelWarningWebhook", url}});
        EXPECT_THAT(Keys(report), ElementsAre("LevelWarningWebhook")) << url;
    }
    Check({{"LevelWarningWebhook", "HTTPS://chat.example/hooks/1"}}, 0);
    // The token after the last "/" is the config file's alone.
    const auto report = Check({{"LevelWarningWebhook", "ftp://chat.example/api/hooks/12/t0ken"}});
    EXPECT_EQ(Problem(report, "LevelWarningWebhook").at("found"),
              "\"ftp://chat.example/api/hooks/12/…\"");
}

TEST_F(CheckerTest, ThresholdsThatMakeARuleActOnEveryCreatureAreReported) {
    for (int level : {0, -2, -100}) {
        const auto report = Check({{"DestroyDinosOverLevel", level}, {"MinDinoLevel", -1}});
        EXPECT_THAT(Keys(report), ElementsAre("DestroyDinosOverLevel")) << level;
    }
    Check({{"DestroyDinosOverLevel", -1}, {"MinDinoLevel", -1}}, 0);

    auto report = Check({{"LevelWarningThreshold", 0}});
    EXPECT_THAT(Keys(report), ElementsAre("LevelWarningThreshold"));
    Check({{"LevelWarningThreshold", 0}, {"EnableLevelWarning", false}}, 0);

    report = Check({{"MinDinoLevel", 500}});
    EXPECT_THAT(Keys(report), ElementsAre("MinDinoLevel"));
    EXPECT_THAT(Problem(report, "MinDinoLevel").at("effect").get<std::string>(),
                HasSubstr("acts on every creature that is not exempt"));
}

TEST_F(CheckerTest, NonObjectTopLevelFailsEveryCheck) {
    const auto report = CheckText("[1, 2]");
    EXPECT_THAT(Keys(report), ElementsAre("(top level)"));
    EXPECT_THAT(Problem(report, "(top level)").at("effect").get<std::string>(),
                HasSubstr("\"[json.exception.type_error.306] cannot use value() with array\": "
                          "every check fails"));
}

TEST_F(CheckerTest, TrailingTextIsAcceptedAsThePluginDoesAndReported) {
    nlohmann::json config = CleanConfig();
    config["MinDinoLevel"] = "2";
    const auto report = CheckText(config.dump() + "\n{\"MinDinoLevel\": 2}");
    // The first object is the configuration: its wrong type counts, the second one does not.
    EXPECT_THAT(Keys(report), ElementsAre("MinDinoLevel", "(trailing text)"));
    EXPECT_THAT(Problem(report, "(trailing text)").at("found").get<std::string>(),
                HasSubstr("at line 2, column 1"));
}

TEST_F(CheckerTest, MalformedFileExitsWithTwoAndTheLibrarysLineAndColumn) {
    const std::string text =
        "{\n  \"MinDinoLevel\": 2,\n  \"EnableLevelWarning\": tru,\n  \"MinDinoLevel\": 3\n}";
    std::string libraryError;
    try {
        const nlohmann::json parsed = nlohmann::json::parse(text);
        ADD_FAILURE() << "parsed: " << parsed.dump();
    } catch (const nlohmann::json::parse_error& error) {
        libraryError = error.what();
    }
    ASSERT_THAT(libraryError, HasSubstr("line 3, column"));
    const auto report = CheckText(text, 2);
    EXPECT_EQ(report.at("status"), "unreadable");
    EXPECT_EQ(report.at("error"), libraryError);
    EXPECT_THAT(RunChecker({WriteText(text)}).output, HasSubstr(libraryError));
}

// The mistakes that cost most are named, first, with what to do; what works is only a note.
TEST_F(CheckerTest, HarmfulMistakesAreNamedFirstAndSyntaxErrorsGetAHint) {
    enum class World { None, Example, Missing, Folder };
    struct Case {
        std::string config;
        World world;
        int status;
        std::string shown;
        std::string shownLater = "";  // a less harmful finding, listed after `shown`
    };
    const std::string quietRules =
        R"("DestroyDinosOverLevel": -1, "MinDinoLevel": 5000, "AutoDestroyDinosBelowMinLevel": true)";
    const std::vector<Case> cases = {
        {"{" + quietRules + "}", World::None, 1,
         "\n  MinDinoLevel\n    found:    5000\n    expected: a level below 150 with "
         "\"AutoDestroyDinosBelowMinLevel\" on\n    plugin:   destroys every wild creature",
         "\n  LevelWarningWebhook\n"},
        {"{" + quietRules + "}", World::Example, 1,
         "would destroy 11 of 11 creatures (100 %) in the dry run on " + ExampleWorld,
         "\n  LevelWarningWebhook\n"},
        {R"({"WhitelistedDinos": ["mascot dodo"], "LevelWarningWebhook": "http://h/x"})",
         World::Example, 1,
         "\n  WhitelistedDinos[0]\n    found:    \"mascot dodo\"\n    expected: \"Mascot Dodo\"\n"
         "    plugin:   whitelist entries are case-sensitive: the world has 'Mascot Dodo'"},
        {R"({"LevelWarningWebhook": "http://h/x", "DestroyDinosOverStatValue": true,
             "StatValueLimits": {"health": 100}})",
         World::None, 0,
         "No problems found.\n\n1 note(s), not problems:\n\n  StatValueLimits.health"},
        {"{\n  \"MinDinoLevel\": 2, // the smallest\n}", World::None, 2,
         "at line 2, column 22: syntax error while parsing object key - invalid literal; last "
         "read: '2, /'; expected string literal; hint: comments (// or /* */) are not allowed "
         "in JSON: remove them"},
        {"{\"WhitelistedDinos\": [\"Rex\",\n ]}", World::None, 2,
         "at line 2, column 2: syntax error while parsing value - unexpected ']'; expected '[', "
         "'{', or a literal; hint: a trailing comma before ']' is not allowed in JSON: remove the "
         "comma"},
        {"{'MinDinoLevel': 2}", World::None, 2,
         "hint: JSON strings take double quotes (\"), not single quotes (')"},
        {"{}", World::Missing, 2,
         "\nworld file " + (folder / "nope.json").string() + ": cannot be used: no such file\n"},
        {"{}", World::Folder, 2,
         "\nworld file " + folder.string() + ": cannot be used: a folder, not a file\n"},
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments = {WriteText(test.config)};
        if (test.world == World::Example)
            arguments.insert(arguments.end(), {"--world", ExampleWorld});
        if (test.world == World::Missing)
            arguments.insert(arguments.end(), {"--world", (folder / "nope.json").string()});
        if (test.world == World::Folder)
            arguments.insert(arguments.end(), {"--world", folder.string()});
        const ChildRun run = RunChecker(arguments, false);
        EXPECT_EQ(run.status, test.status) << test.config << "\n" << run.output;
        const size_t shown = run.output.find(test.shown);
        EXPECT_NE(shown, std::string::npos) << test.shown << "\nnot in:\n" << run.output;
        if (!test.shownLater.empty()) {
            EXPECT_GT(run.output.find(test.shownLater), shown) << run.output;
        }
    }
    const ChildRun help = RunChecker({"--help"}, false);
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.output, ::testing::StartsWith("usage: tamewarden-check CONFIG"));
}

// An ordinary setup passes, and each common slip is named with what the plugin then does.
TEST_F(CheckerTest, OrdinarySetupsPassAndSlipsAreNamedWithTheirMend) {
    struct Case {
        std::string config;
        bool withWorld;
        int status;
        std::string shown;
    };
    const std::vector<Case> cases = {
        {"{}", false, 0,
         "No problems found.\n\n1 note(s), not problems:\n\n  LevelWarningWebhook\n    found:  "
         "  absent (\"\")\n    expected: an http:// or https:// URL, to report to a chat\n    "
         "plugin:   reports go nowhere; the journal still records every destruction\n"},
        {R"({"DestroyJournal": false})", false, 1,
         "reports go nowhere, and with \"DestroyJournal\" off only the server log names what is "
         "destroyed"},
        {"{\n\"DestroyDinosOverLevel\": 500,\n\"DestroyDinosOverLevel\": 900\n}", false, 1,
         "  DestroyDinosOverLevel\n    found:    set on lines 2 and 3\n    expected: the key "
         "once\n    plugin:   the plugin reads only the last, on line 3; the one on line 2 is "
         "ignored\n"},
        {" \n", false, 2, "cannot be used: the file is empty"},
        {R"({"DestroyDinosOverLevel": 1e12})", false, 1,
         "expected: a whole number from -2147483648 to 2147483647\n    plugin:   out of range: "
         "acts on no creature\n"},
        {R"({"MinDinoLevel": -1e12})", false, 1,
         "expected: a whole number from -2147483648 to 2147483647\n    plugin:   out of range: "
         "acts on no creature\n"},
        {R"({"DestroyDinosOverLevel": "500"})", false, 1,
         "expected: a number (read as a 32-bit integer): remove the quotes around 500\n"},
        // A few creatures destroyed of a small world is what a rule is for.
        {CleanConfig().dump(), true, 0, "No problems found.\n"},
        {R"({"DestroyDinosOverLevel": 2})", true, 1,
         "expected: an over-level rule that destroys at most a tenth of the creatures it sees (or "
         "at most 5 of them)\n    plugin:   would destroy 10 of 11 creatures (91 %)"},
        {R"({"EnableLevelWarning": 1})", true, 1,
         "(nothing sent):\n\n  A check stopped at rex-over-level: Rex level 600"},
    };
    for (const Case& test : cases) {
        std::vector<std::string> arguments = {WriteText(test.config)};
        if (test.withWorld) arguments.insert(arguments.end(), {"--world", ExampleWorld});
        const ChildRun run = RunChecker(arguments, false);
        EXPECT_EQ(run.status, test.status) << test.config << "\n" << run.output;
        EXPECT_THAT(run.output, HasSubstr(test.shown)) << test.config;
    }
}

TEST_F(CheckerTest, MissingFileAndBadArgumentsExitWithTwo) {
    EXPECT_EQ(RunChecker({(folder / "absent.json").string()}).status, 2);
    EXPECT_EQ(RunChecker({}).status, 2);
    const ChildRun unknown = RunChecker({WriteText("{}"), "--version2"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_THAT(unknown.output, ::testing::StartsWith("tamewarden-check: unknown option "
                                                      "--version2\nusage: tamewarden-check"));
    const ChildRun version = RunChecker({"--version"});
    EXPECT_EQ(version.status, 0);
    nlohmann::json info;
    std::ifstream(std::string(TAMEWARDEN_SOURCE_DIR) + "/plugin/PluginInfo.json") >> info;
    EXPECT_EQ(version.output, "tamewarden-check " + info.at("Version").dump() + "\n");
}

TEST_F(CheckerTest, DryRunSendsNothingAndLeavesTheWorldFileAlone) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 16), 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::string webhook =
        "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/hook";

    const fs::path world = folder / "world.json";
    fs::copy_file(ExampleWorld, world);
    const auto before = fs::last_write_time(world);
    nlohmann::json config = CleanConfig();
    config["LevelWarningWebhook"] = webhook;
    const ChildRun run =
        RunChecker({WriteText(config.dump()), "--world", world.string(), "--json"});
    // Each rule destroys a few of the example world's creatures, which is no problem.
    ASSERT_EQ(run.status, 0) << run.output;
    const auto report = nlohmann::json::parse(run.output);
    EXPECT_FALSE(report.at("dryRun").at("posts").empty());

    // A connection attempt would wait in the backlog; a non-blocking accept finds none.
    fcntl(listener, F_SETFL, O_NONBLOCK);
    EXPECT_LT(accept(listener, nullptr, nullptr), 0);
    close(listener);
    EXPECT_EQ(fs::last_write_time(world), before);
}

// The creatures the plugin destroyed (not those the world removed) and the posts, in order.
struct Outcome {
    std::vector<std::string> destroyed;
    std::vector<nlohmann::json> posts;
    std::vector<std::string> criticalLogs;
};

Outcome ServerOutcome(const std::vector<nlohmann::json>& events) {
    Outcome outcome;
    std::set<std::string> despawned;
    for (const auto& event : events) {
        const std::string type = event.value("type", "");
        if (type == "despawn") despawned.insert(event.value("creature", ""));
        if (type == "destroyed" && despawned.count(event.value("creature", "")) == 0)
            outcome.destroyed.push_back(event.value("creature", ""));
        if (type == "post")
            outcome.posts.push_back({{"url", event.at("url")}, {"body", event.at("body")}});
        if (type == "log" && event.value("level", "") == "critical")
            outcome.criticalLogs.push_back(event.value("text", ""));
    }
    return outcome;
}

Outcome DryRunOutcome(const nlohmann::json& report) {
    Outcome outcome;
    outcome.destroyed = report.at("destroyed").get<std::vector<std::string>>();
    outcome.posts = report.at("posts").get<std::vector<nlohmann::json>>();
    for (const auto& log : report.at("logs"))
        if (log.value("level", "") == "critical") outcome.criticalLogs.push_back(log.at("text"));
    return outcome;
}

// Plays the example world in standin-server with `config` long enough for every deferred check,
// its reports going to a chat stand-in that takes every post at once, and dry-runs the checker on
// the same config and world.
void ExpectDryRunMatchesServer(nlohmann::json config, int checkerStatus) {
    const int chatPort = FreePort();
    config["LevelWarningWebhook"] = "http://127.0.0.1:" + std::to_string(chatPort) + "/hook";
    ServerFolder server;
    server.WriteConfig(config);
    ServerProcess process({"--server-dir", server.Dir().string(), "--world", ExampleWorld,
                           "--events", server.EventsPath().string(), "--seconds", "4.5",
                           "--webhook-listen", std::to_string(chatPort), "--webhook-unlimited"});
    process.CloseInput();
    ASSERT_EQ(process.WaitForExit(std::chrono::seconds(60)), 0) << process.Output();
    const Outcome real = ServerOutcome(server.Events());

    const ChildRun run =
        RunChecker({server.ConfigPath().string(), "--world", ExampleWorld, "--json"});
    ASSERT_EQ(run.status, checkerStatus) << run.output;
    const Outcome dry = DryRunOutcome(nlohmann::json::parse(run.output).at("dryRun"));

    EXPECT_EQ(dry.destroyed, real.destroyed);
    EXPECT_EQ(dry.posts, real.posts);
    EXPECT_EQ(dry.criticalLogs, real.criticalLogs);
    EXPECT_FALSE(real.posts.empty());
}

TEST_F(CheckerTest, DryRunOfTheExampleWorldMatchesARealServerRun) {
    nlohmann::json config;
    std::ifstream(ExampleConfig) >> config;
    // Each rule destroys a few of the example world's creatures, which is no problem.
    ExpectDryRunMatchesServer(config, 0);
    ExpectDryRunMatchesServer(CleanConfig(), 0);
}

TEST_F(CheckerTest, DryRunWithAKeyOfTheWrongTypeStallsAsTheServerDoes) {
    nlohmann::json config = CleanConfig();
    config["EnableLevelWarning"] = 1;
    ExpectDryRunMatchesServer(config, 1);
}

TEST_F(CheckerTest, DryRunListsEachRulesCreaturesInItsReport) {
    const ChildRun run = RunChecker({WriteText(CleanConfig().dump()), "--world", ExampleWorld});
    ASSERT_EQ(run.status, 0) << run.output;
    const ChildRun json =
        RunChecker({WriteText(CleanConfig().dump()), "--world", ExampleWorld, "--json"});
    const auto report = nlohmann::json::parse(json.output).at("dryRun");
    std::set<std::string> rules;
    for (const auto& finding : report.at("findings")) {
        // Every post is tied to a rule and a creature of the world, and shown in the text.
        EXPECT_NE(finding.at("rule"), "(unknown)");
        EXPECT_FALSE(finding.at("creature").get<std::string>().empty()) << finding.dump();
        EXPECT_THAT(run.output, HasSubstr(finding.at("creature").get<std::string>()));
        rules.insert(finding.at("rule"));
        ASSERT_EQ(finding.at("bodies").size(), 1u);  // no report of this world is that long
        const std::string body = finding.at("bodies").at(0);
        EXPECT_EQ(nlohmann::json::parse(body).at("content"), finding.at("message"));
    }
    EXPECT_EQ(rules.size(), 5u);
    EXPECT_THAT(report.at("notChecked").get<std::vector<std::string>>(),
                ElementsAre("trike-removed-before-check"));
}

}  // namespace

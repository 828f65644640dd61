// A preview through the loaded plugin changes nothing at all: no destruction, post, queued
// check or log line, and the game mode learns no id; yet it sees what the checks would do.
#include <gmock/gmock.h>

#include <fstream>

#include "audit/AuditRules.h"
#include "host/GameFacts.h"
#include "tests/PluginFixture.h"
#include "tests/TextPattern.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

// The rules' names in their order, read from the rule table while compiling: the test does not
// link the rules themselves.
constexpr auto RuleNames = [] {
    std::array<std::string_view, RuleCount> names{};
    for (size_t rule = 0; rule < RuleCount; ++rule) names[rule] = AuditRules[rule].name;
    return names;
}();

class PreviewTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        standin::World& world = MakeWorld();
        world.AddPlayer({.id = 31, .eosId = u"eos-31", .online = true});
        world.AddTribe({.id = Tribe, .memberNames = {u"Ann"}, .memberIds = {31}});
        world.AddDino({.key = "rex", .name = u"Rex", .team = Tribe, .level = 900});
        world.AddDino({.key = "dodo", .name = u"Dodo", .level = 1});
    }
    void WriteCandidate(const std::string& name, const nlohmann::json& document) {
        std::ofstream(ConfigPath().parent_path() / name) << document.dump();
    }
    std::string Preview(const std::string& line) {
        host.events.Clear();
        host.commands.ExecuteConsole(line, host.world->AdminPlayer());
        const auto replies = Texts("reply");
        return replies.empty() ? "" : replies.back();
    }
};

TEST_F(PreviewTest, PreviewOfARuleThatDestroysChangesNothing) {
    WriteConfigJson({{"DestroyDinosOverLevel", -1}, {"DestroyIncoherentDinos", false}});
    LoadPlugin();
    WriteCandidate("next.json", {{"DestroyDinosOverLevel", 500},
                                 {"MinDinoLevel", 1},
                                 {"AutoDestroyDinosBelowMinLevel", true},
                                 {"LevelWarningWebhook", "http://127.0.0.1:9/hook"}});
    host.world->GameMode()->EosIdsByPlayerId.clear();  // what the load's report taught it
    const std::string reply = Preview("tmwd.preview next.json");
    EXPECT_THAT(reply, HasSubstr("\nover-level: of 2 creature(s), destroy 1, only report 0, "
                                 "leave 1\n"));
    EXPECT_THAT(reply, HasSubstr("\nminimum level: of 1 creature(s), destroy 1, only report 0, "
                                 "leave 0\n"));
    // Only the reply: no destruction, post, log line or queued check.
    std::vector<std::string> types;
    for (const auto& event : host.events.All()) types.push_back(event.at("type"));
    EXPECT_THAT(types, ElementsAre("reply"));
    EXPECT_FALSE(host.commands.HasUpdateCallback("TWD.HelperTimer.Update"));
    EXPECT_FALSE(host.commands.HasUpdateCallback("TWD.Outbox.Update"));
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("rex", "dodo"));
    // Rex's report names its tribe's member, found online; the game mode is not told.
    EXPECT_FALSE(host.world->GameMode()->EosIdsByPlayerId.contains(31));
}

TEST_F(PreviewTest, StatLimitThatCannotBeReadStopsThePreviewNamingTheKey) {
    WriteConfigJson({{"DestroyDinosOverLevel", -1}, {"DestroyIncoherentDinos", false}});
    host.world->AddDino({.key = "coherent", .name = u"Para", .level = 1});
    LoadPlugin();
    WriteCandidate("limits.json", {{"DestroyDinosOverLevel", -1},
                                   {"DestroyIncoherentDinos", false},
                                   {"DestroyDinosOverStatValue", true},
                                   {"StatValueLimits", {{"Health", "lots"}}}});
    const std::string reply = Preview("tmwd.preview limits.json");
    EXPECT_THAT(reply, HasSubstr("as a check would: key \"StatValueLimits\" in limits.json: "
                                 "[json.exception.type_error.302] type must be number, but is "
                                 "string"));
}

// Each creature a rule sees it destroys, only reports or leaves to the next rule; the first rule
// sees every creature that is not exempt.
TEST_F(PreviewTest, EachRulesCountsAddUpToTheCreaturesItSaw) {
    WriteConfigJson({{"DestroyDinosOverLevel", -1}, {"DestroyIncoherentDinos", false}});
    standin::World& world = *host.world;
    world.AddDino({.key = "boss", .name = u"Dragon", .level = 5000, .boss = true});
    world.AddDino({.key = "tall",
                   .name = u"Giga",
                   .team = 700,
                   .level = 350,
                   .levelUpPoints = CoherentPoints(350)});
    world.AddDino({.key = "odd", .name = u"Raptor", .team = 900, .level = 60});
    world.AddDino({.key = "plain",
                   .name = u"Parasaur",
                   .team = 901,
                   .level = 40,
                   .levelUpPoints = CoherentPoints(40)});
    LoadPlugin();
    WriteCandidate("next.json", {{"DestroyDinosOverLevel", 500},
                                 {"EnableLevelWarning", true},
                                 {"LevelWarningThreshold", 300},
                                 {"MinDinoLevel", 1},
                                 {"AutoDestroyDinosBelowMinLevel", true}});
    const std::string reply = Preview("tmwd.preview next.json");
    ASSERT_THAT(reply, HasSubstr(": 6 creature(s) checked\n")) << reply;
    const TextPattern line(
        R"(\n([a-z -]+): of (\d+) creature\(s\), destroy (\d+), only report (\d+), )"
        R"(leave (\d+))");
    std::vector<std::string> rules;
    uint64_t seen = 5;  // all but the boss
    for (const std::vector<std::string>& match : line.SearchAll(reply)) {
        const auto number = [&](size_t group) { return std::stoull(match[group]); };
        rules.push_back(match[1]);
        EXPECT_EQ(number(2), seen) << match[0];
        EXPECT_EQ(number(3) + number(4) + number(5), number(2)) << match[0];
        seen = number(5);
    }
    EXPECT_THAT(rules, ElementsAreArray(RuleNames));
    EXPECT_EQ(seen, 1u);  // the parasaur, which no rule acts on
    EXPECT_THAT(reply, HasSubstr("\nwould only report Giga level 350 team 700"));
}

}  // namespace

// A number in the configuration beyond a 32-bit integer's range makes what reads it act on no
// creature, for each numeric key, through the loaded plugin; tmwd.status says so. The bounds
// themselves, and -2, keep their meaning: nothing wraps or saturates into a limit that destroys
// or reports every creature.
#include <gmock/gmock.h>

#include <array>
#include <climits>
#include <map>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// Which creatures the rule acts on: as the highest or the lowest integer, or none at all.
enum class Reads { Highest, Lowest, MinusTwo, OutOfRange };

struct Boundary {
    const char* text;  // the number as the operator writes it
    Reads reads;
};

const Boundary Boundaries[] = {
    {"2147483647", Reads::Highest},    {"2147483648", Reads::OutOfRange},
    {"-2147483648", Reads::Lowest},    {"-2147483649", Reads::OutOfRange},
    {"3000000000", Reads::OutOfRange}, {"4294967295", Reads::OutOfRange},
    {"1e10", Reads::OutOfRange},       {"1e300", Reads::OutOfRange},
    {"-1e300", Reads::OutOfRange},     {"-2", Reads::MinusTwo},
};

bool IsBrakeKey(const std::string& key) {
    return key == "DestroyBrakeLimit" || key == "DestroyBrakeMinutes";
}

struct Case {
    const char* key;
    Boundary boundary;
};

void PrintTo(const Case& test, std::ostream* out) {
    *out << test.key << ": " << test.boundary.text;
}

class ConfigRangeTest : public PluginFixture, public ::testing::WithParamInterface<Case> {
protected:
    // Creatures at both ends of the level range and one in between; wild, so a warning is short.
    void SetUp() override {
        PluginFixture::SetUp();
        standin::World& world = MakeWorld();
        world.AddDino({.key = "lowest", .name = u"Lowest", .team = 500, .level = INT_MIN});
        world.AddDino({.key = "middle",
                       .name = u"Middle",
                       .team = 500,
                       .level = 5,
                       .levelUpPoints = CoherentPoints(5)});
        world.AddDino({.key = "highest", .name = u"Highest", .team = 500, .level = INT_MAX});
    }

    // The keys the rule under test needs besides the boundary value; the other rules are off.
    // The brake's keys under an over-level rule that destroys every creature; the limit is then
    // above the three creatures.
    std::string ConfigWith(const std::string& key, const std::string& value) const {
        std::string config = R"({"DestroyIncoherentDinos": false, ")" + key + "\": " + value;
        if (IsBrakeKey(key)) config += R"(, "DestroyDinosOverLevel": -2)";
        if (key == "DestroyBrakeMinutes") config += R"(, "DestroyBrakeLimit": 100)";
        if (key != "DestroyDinosOverLevel" && !IsBrakeKey(key))
            config += R"(, "DestroyDinosOverLevel": -1)";
        if (key == "LevelWarningThreshold") config += R"(, "EnableLevelWarning": true)";
        if (key == "MinDinoLevel") config += R"(, "AutoDestroyDinosBelowMinLevel": true)";
        return config + "}";
    }

    // The creatures the rule acted on: destroyed for the two destroying rules, warned about for
    // the warning.
    std::vector<std::string> ActedOn(const std::string& key) const {
        if (key != "LevelWarningThreshold") return DestroyedKeys();
        std::vector<std::string> warned;
        for (const std::string& message : PostedMessages())
            for (const char* name : {"Lowest", "Middle", "Highest"})
                if (message.find("Detected **wild** dino(" + std::string(name) + ")") !=
                    std::string::npos)
                    warned.push_back(name);
        return warned;
    }
};

TEST_P(ConfigRangeTest, OutOfRangeNumberActsOnNoCreatureAndTheBoundsKeepTheirMeaning) {
    const Case& test = GetParam();
    WriteConfig(ConfigWith(test.key, test.boundary.text));
    LoadPlugin();
    ASSERT_TRUE(host.commands.HasConsoleCommand("tmwd.recheck")) << "the load failed";
    const std::string key = test.key;
    const bool outOfRange = test.boundary.reads == Reads::OutOfRange;
    using Keys = std::vector<std::string>;
    // By key: what the highest, the lowest and -2 act on.
    const std::map<std::string, std::array<Keys, 3>> actedOn = {
        {"DestroyDinosOverLevel",
         {Keys{"highest"}, Keys{"lowest", "middle", "highest"}, Keys{"middle", "highest"}}},
        {"LevelWarningThreshold",
         {Keys{"Highest"}, Keys{"Lowest", "Middle", "Highest"}, Keys{"Middle", "Highest"}}},
        {"MinDinoLevel", {Keys{"lowest", "middle", "highest"}, Keys{"lowest"}, Keys{"lowest"}}}};
    Keys expected;
    if (!outOfRange && IsBrakeKey(key))
        expected = {"middle", "highest"};  // "DestroyDinosOverLevel": -2, and the brake lets go
    else if (!outOfRange)
        expected = actedOn.at(key)[static_cast<size_t>(test.boundary.reads)];
    EXPECT_THAT(ActedOn(key), ElementsAreArray(expected));
    ASSERT_TRUE(host.commands.ExecuteRcon("tmwd.status", nullptr, 7));
    const std::string said = IsBrakeKey(key) ? "; out of range: holds every destruction\n"
                                             : ": out of range: acts on no creature\n";
    EXPECT_EQ(Texts("reply").at(0).find(said) != std::string::npos, outOfRange)
        << Texts("reply").at(0);
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const char* key : {"DestroyDinosOverLevel", "LevelWarningThreshold", "MinDinoLevel",
                            "DestroyBrakeLimit", "DestroyBrakeMinutes"})
        for (const Boundary& boundary : Boundaries) cases.push_back({key, boundary});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EachIntegerKey, ConfigRangeTest, ::testing::ValuesIn(AllCases()),
                         [](const auto& test) {
                             std::string name =
                                 std::string(test.param.key) + "_" + test.param.boundary.text;
                             for (char& c : name)
                                 if (c == '-') c = 'm';
                             return name;
                         });

class ConfigNumberTest : public PluginFixture {};

TEST_F(ConfigNumberTest, FractionsWithinRangeAreStillTruncatedTowardZero) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "at", .level = 2147483647, .levelUpPoints = CoherentPoints(5)});
    world.AddDino({.key = "below", .level = 2147483646});
    WriteConfig(R"({"DestroyDinosOverLevel": 2147483647.9, "DestroyIncoherentDinos": false})");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("at"));
}

TEST_F(ConfigNumberTest, TrueReadsAsOneAndAStringStillFailsWithTheLibraryText) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "one", .level = 1});
    world.AddDino({.key = "zero", .level = 0});
    WriteConfig(R"({"DestroyDinosOverLevel": true})");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("one"));
    UnloadPlugin();

    host.events.Clear();
    WriteConfig(R"({"MinDinoLevel": "3000000000"})");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(Texts("log"), ElementsAre(SweepStoppedAt("MinDinoLevel",
                                                         "[json.exception.type_error.302] type "
                                                         "must be number, but is string")));
}

}  // namespace

// Numbers in the configuration beyond a 32-bit integer's range saturate at the nearest bound, for
// each integer key, through the loaded plugin: a huge limit never acts, and nothing wraps around
// into a limit that destroys or reports every creature.
#include <gmock/gmock.h>

#include <climits>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// Which creatures the rule acts on when the key reads as the highest or the lowest integer.
enum class Reads { Highest, Lowest };

struct Boundary {
    const char* text;  // the number as the operator writes it
    Reads reads;
};

const Boundary Boundaries[] = {
    {"2147483647", Reads::Highest}, {"2147483648", Reads::Highest}, {"-2147483648", Reads::Lowest},
    {"-2147483649", Reads::Lowest}, {"3000000000", Reads::Highest}, {"4294967295", Reads::Highest},
    {"1e10", Reads::Highest},       {"1e300", Reads::Highest},      {"-1e300", Reads::Lowest},
};

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
    std::string ConfigWith(const std::string& key, const std::string& value) const {
        std::string config = R"({"DestroyIncoherentDinos": false, ")" + key + "\": " + value;
        if (key != "DestroyDinosOverLevel") config += R"(, "DestroyDinosOverLevel": -1)";
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

TEST_P(ConfigRangeTest, OutOfRangeNumberSaturatesAtTheNearestBound) {
    const Case& test = GetParam();
    WriteConfig(ConfigWith(test.key, test.boundary.text));
    LoadPlugin();
    ASSERT_TRUE(ConsoleCommandRegistered()) << "the load failed";
    const std::string key = test.key;
    const bool highest = test.boundary.reads == Reads::Highest;
    std::vector<std::string> expected;
    if (key == "DestroyDinosOverLevel")
        expected = highest ? std::vector<std::string>{"highest"}
                           : std::vector<std::string>{"lowest", "middle", "highest"};
    if (key == "LevelWarningThreshold")
        expected = highest ? std::vector<std::string>{"Highest"}
                           : std::vector<std::string>{"Lowest", "Middle", "Highest"};
    if (key == "MinDinoLevel")
        expected = highest ? std::vector<std::string>{"lowest", "middle", "highest"}
                           : std::vector<std::string>{"lowest"};
    EXPECT_THAT(ActedOn(key), ElementsAreArray(expected));
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const char* key : {"DestroyDinosOverLevel", "LevelWarningThreshold", "MinDinoLevel"})
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

// Numbers in the configuration beyond a 32-bit integer's range: read with a defined result, so
// the sanitised build has nothing to report and the rules stay predictable.
#include <gmock/gmock.h>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

class ConfigRangeTest : public PluginFixture {};

TEST_F(ConfigRangeTest, HugeFractionalLevelLimitReadsAsTheLowestIntegerAndDestroysEverything) {
    MakeWorld().AddDino({.key = "small", .level = 5, .levelUpPoints = CoherentPoints(5)});
    WriteConfig(R"({"DestroyDinosOverLevel": 1e300})");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("small"));
}

TEST_F(ConfigRangeTest, HugeNegativeMinimumLevelReadsAsTheLowestIntegerAndKeepsEveryCreature) {
    MakeWorld().AddDino({.key = "small", .level = 5, .levelUpPoints = CoherentPoints(5)});
    WriteConfig(R"({"MinDinoLevel": -1e300, "AutoDestroyDinosBelowMinLevel": true})");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(Events("post"), IsEmpty());
}

TEST_F(ConfigRangeTest, FractionsWithinRangeAreStillTruncatedTowardZero) {
    standin::World& world = MakeWorld();
    world.AddDino({.key = "at", .level = 2147483647, .levelUpPoints = CoherentPoints(5)});
    world.AddDino({.key = "below", .level = 2147483646});
    WriteConfig(R"({"DestroyDinosOverLevel": 2147483647.9})");
    LoadPlugin();
    EXPECT_THAT(DestroyedKeys(), ElementsAre("at"));
}

}  // namespace

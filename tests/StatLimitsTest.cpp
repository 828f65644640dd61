// The last stage of a check: the level-coherence test and the per-stat value limits.
#include <gmock/gmock.h>

#include "tests/PluginFixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr size_t Health = 0, Stamina = 1, Torpidity = 2, Water = 5, Temperature = 6, Weight = 7,
                 Fortitude = 10;

class StatLimitsTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
    }
    // A coherent level-1 creature with the given current stat values.
    standin::DinoSpec Creature(const std::string& key, std::array<float, 12> current = {}) {
        return {.key = key, .name = u"Rex", .currentStatus = current};
    }
    void Sweep(const nlohmann::json& config) {
        WriteConfigJson(config);
        LoadPlugin();
    }
    std::vector<std::string> Effects() const { return Sequence({"log", "post", "destroyed"}); }
    nlohmann::json WithLimits(nlohmann::json limits) {
        return {{"DestroyDinosOverStatValue", true}, {"StatValueLimits", std::move(limits)}};
    }
};

TEST_F(StatLimitsTest, CoherenceCountsOnlyTheCountedStatsOfAllThreeArrays) {
    standin::DinoSpec levelOne = Creature("one");
    standin::DinoSpec levelTen = Creature("ten");
    levelTen.level = 10;
    levelTen.levelUpPoints[Health] = 4;
    levelTen.levelUpPointsTamed[Weight] = 3;
    levelTen.mutationsTamed[Stamina] = 2;
    for (size_t excluded : {Torpidity, Water, Temperature, Fortitude}) {
        levelTen.levelUpPoints[excluded] = 50;
        levelTen.mutationsTamed[excluded] = 7;
    }
    host.world->AddDino(levelOne);
    host.world->AddDino(levelTen);
    Sweep(nlohmann::json::object());
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("one", "ten"));
}

TEST_F(StatLimitsTest, IncoherentCreatureIsReportedOrDestroyedThenReported) {
    standin::DinoSpec eight = Creature("eight");
    eight.level = 10;
    eight.levelUpPoints[Health] = 8;
    standin::DinoSpec over = Creature("over", {99999});
    over.level = 10;
    over.levelUpPointsTamed[Health] = 10;
    host.world->AddDino(eight);
    host.world->AddDino(over);
    Sweep(WithLimits({{"Health", 1}}));
    EXPECT_THAT(PostedMessages(),
                ElementsAre("# [**TheIsland_WP**] Detected **incoherent** dino(Rex) level 10 at "
                            "X=0.000 Y=0.000 Z=0.000\nMembers: ``` - EOS Id: ```",
                            "# [**TheIsland_WP**] Detected **incoherent** dino(Rex) level 10 at "
                            "X=0.000 Y=0.000 Z=0.000\nMembers: ``` - EOS Id: ```"));
    EXPECT_THAT(DestroyedKeys(), IsEmpty());  // over its limit, but only the incoherence counts
    UnloadPlugin();
    host.events.Clear();

    nlohmann::json destroying = WithLimits({{"Health", 1}});
    destroying["DestroyIncoherentDinos"] = true;
    Sweep(destroying);
    EXPECT_THAT(Effects(),
                ElementsAre("destroyed eight", "log", "post", "destroyed over", "log", "post"));
    EXPECT_THAT(PostedMessages()[0],
                ::testing::StartsWith("# [**TheIsland_WP**] Deleted **incoherent** dino(Rex)"));
    EXPECT_THAT(Texts("log"),
                ElementsAre("Destroyed dino(Rex) level 10 team 0 (incoherent), journal seq 1",
                            "Destroyed dino(Rex) level 10 team 0 (incoherent), journal seq 2"));
}

TEST_F(StatLimitsTest, ValueEqualToItsLimitDestroysWithOnePostWhateverElseIsOver) {
    host.world->AddDino(Creature("equal", {5000, 900, 0, 0, 0, 0, 0, 800}));
    Sweep(WithLimits({{"Health", 5000}, {"Stamina", 100}, {"Weight", 1}}));
    EXPECT_THAT(Effects(), ElementsAre("destroyed equal", "log", "post"));
    EXPECT_THAT(PostedMessages(),
                ElementsAre("# [**TheIsland_WP**] Deleted **over stat limit** dino(Rex) level 1 at "
                            "X=0.000 Y=0.000 Z=0.000. Tribe id: 0\nMembers:\n``` - EOS Id: ```"));
}

TEST_F(StatLimitsTest, LimitsOfZeroNegativeOrFalseNeverActAndTrueActsAsOne) {
    host.world->AddDino(Creature("kept", {100, 100, 100}));
    Sweep(WithLimits({{"Health", 0}, {"Stamina", -5}, {"Torpidity", false}}));
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    UnloadPlugin();

    host.world->AddDino(Creature("one", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f}));
    Sweep(WithLimits({{"CraftingSpeedMultiplier", true}}));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("one"));
}

TEST_F(StatLimitsTest, LimitsAreOffUnlessSwitchedOnAndThenUnexamined) {
    host.world->AddDino(Creature("big", {1e9f}));
    Sweep({{"StatValueLimits", {{"Health", 1}, {"Stamina", "not a number"}}}});
    EXPECT_THAT(DestroyedKeys(), IsEmpty());
    EXPECT_THAT(Events("log"), IsEmpty());
}

TEST_F(StatLimitsTest, KeysMatchStatNamesWithCaseIgnoredAndUnknownKeysLimitNothing) {
    host.world->AddDino(Creature("tired", {10, 500}));
    host.world->AddDino(Creature("healthy", {500, 10}));
    Sweep(WithLimits({{"stamina", 100}, {"Stamna", 100}, {"Helth", 100}}));
    EXPECT_THAT(DestroyedKeys(), ElementsAre("tired"));
    EXPECT_THAT(host.world->DinoKeys(), ElementsAre("healthy"));
}

TEST_F(StatLimitsTest, WrongTypedLimitsRaiseTheLibraryErrorsWhenTheWalkReachesThem) {
    const auto failure = [this](const nlohmann::json& limits) {
        host.events.Clear();
        Sweep(WithLimits(limits));
        UnloadPlugin();
        return Texts("log").empty() ? std::string() : Texts("log").back();
    };
    host.world->AddDino(Creature("rex", {1}));
    EXPECT_EQ(failure({{"Health", "high"}}),
              SweepStoppedAt("StatValueLimits",
                             "[json.exception.type_error.302] type must be "
                             "number, but is string"));
    EXPECT_EQ(failure({{"Unknown", nullptr}}),
              SweepStoppedAt("StatValueLimits",
                             "[json.exception.type_error.302] type must be "
                             "number, but is null"));
    EXPECT_EQ(failure(nlohmann::json::array({1})),
              SweepStoppedAt("StatValueLimits",
                             "[json.exception.invalid_iterator.207] cannot "
                             "use key() for non-object iterators"));
    // Reached first, a limit that is over ends the walk before the bad entry.
    EXPECT_EQ(failure({{"Health", 1}, {"Stamina", "high"}}),
              "Destroyed dino(Rex) level 1 team 0 (stat-limit), journal seq 1");
    EXPECT_THAT(DestroyedKeys(), ElementsAre("rex"));
}

TEST_F(StatLimitsTest, NullOrEmptyLimitsEndTheCheckSilently) {
    host.world->AddDino(Creature("rex", {1e9f}));
    Sweep(WithLimits(nullptr));
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_THAT(Events("log"), IsEmpty());
    EXPECT_TRUE(ConsoleCommandRegistered());
}

TEST_F(StatLimitsTest, WrongTypedIncoherenceKeyStopsBeforeAnyEffect) {
    standin::DinoSpec incoherent = Creature("odd");
    incoherent.level = 5;
    host.world->AddDino(incoherent);
    Sweep({{"DestroyIncoherentDinos", "yes"}});
    EXPECT_THAT(Events("post"), IsEmpty());
    EXPECT_EQ(Texts("log").back(), SweepStoppedAt("DestroyIncoherentDinos",
                                                  "[json.exception.type_error.302] type must "
                                                  "be boolean, but is string"));
}

}  // namespace

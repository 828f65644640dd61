// The outbox through the loaded plugin and a real HTTP peer on 127.0.0.1: reports leave one post
// at a time, in order, at the peer's pace; refusals are sent again, failures tried again and then
// dropped with a warning; the game thread never waits; unload leaves what waits in the spool for
// the next load, which sends it first.
#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "standin/Text.h"
#include "tests/PluginFixture.h"
#include "tests/ScriptedPeer.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* PumpId = "TWD.Outbox.Update";

class OutboxTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
    }

    // Over-level creatures named Dino0, Dino1, ... in the world at load: one report each, posted
    // by the start-up sweep in this order.
    void AddReportedCreatures(size_t count) {
        for (size_t index = 0; index < count; ++index)
            host.world->AddDino({.key = "dino-" + std::to_string(index),
                                 .name = u"Dino" + standin::ToUtf16(std::to_string(index)),
                                 .level = 20});
    }
    static std::string FirstLineOf(size_t index) {
        return "# Destroyed dino(Dino" + std::to_string(index) + ") level 20 from tribe 0 at " +
               "X=0.000 Y=0.000 Z=0.000";
    }
    static std::vector<std::string> FirstLines(const std::vector<std::string>& contents) {
        std::vector<std::string> lines;
        for (const std::string& content : contents)
            lines.push_back(content.substr(0, content.find('\n')));
        return lines;
    }
    static std::vector<std::string> ExpectedFirstLines(size_t count) {
        std::vector<std::string> lines;
        for (size_t index = 0; index < count; ++index) lines.push_back(FirstLineOf(index));
        return lines;
    }

    void LoadWithWebhook(const std::string& url) {
        WriteConfigJson({{"DestroyDinosOverLevel", 10}, {"LevelWarningWebhook", url}});
        LoadPlugin();
    }
    void LoadWithPeer(const ScriptedPeer& peer) { LoadWithWebhook(peer.Url()); }

    // Game ticks every few milliseconds, as the host's loop calls the update callbacks, until
    // `done` holds or the time is up.
    template <typename Done>
    bool TickUntil(Done done, std::chrono::milliseconds limit) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            host.commands.RunUpdateCallbacks(0.005f);
            if (done()) return true;
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    void TickFor(std::chrono::milliseconds span) {
        TickUntil([] { return false; }, span);
    }
    std::string Status() {
        host.commands.ExecuteRcon("tmwd.status", nullptr, 7);
        return Texts("reply").back();
    }
    bool StatusSays(const std::string& part) { return Status().find(part) != std::string::npos; }
    void AddReportedCreature(const std::string& name) {
        host.world->AddDino({.key = name, .name = standin::ToUtf16(name), .level = 20});
    }
};

// "Sun, 06 Nov 1994 08:49:37 GMT", `seconds` from now.
std::string HttpDateAhead(int seconds) {
    const std::time_t at = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now() +
                                                                std::chrono::seconds(seconds));
    std::tm utc{};
    gmtime_r(&at, &utc);
    char text[64];
    std::strftime(text, sizeof text, "%a, %d %b %Y %H:%M:%S GMT", &utc);
    return text;
}

TEST_F(OutboxTest, LoneReportGoesOutAtOnceInTheRulesOrderWithTheUserAgent) {
    ScriptedPeer peer([](size_t, const std::string&) { return ScriptedPeer::Answer{}; });
    AddReportedCreatures(1);
    LoadWithPeer(peer);
    EXPECT_THAT(Sequence({"log", "post", "destroyed"}),
                ElementsAre("log", "post", "destroyed dino-0"));
    ASSERT_TRUE(TickUntil([&] { return peer.Delivered().size() == 1; }, 5s));
    EXPECT_EQ(peer.All().at(0).userAgent, "TameWarden/1.0");
    EXPECT_THAT(FirstLines(peer.Delivered()), ElementsAre(FirstLineOf(0)));
}

TEST_F(OutboxTest, ReportsWaitTheirTurnAndArriveInOrder) {
    // The first answer comes after the sweep, however slow a loaded machine makes it.
    ScriptedPeer peer([](size_t index, const std::string&) {
        return ScriptedPeer::Answer{.hold = index == 0 ? 2000ms : 20ms};
    });
    AddReportedCreatures(12);
    const auto started = Clock::now();
    LoadWithPeer(peer);
    // Only the first post went out during the sweep; the others wait for the outbox's ticks.
    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(Events("post").size(), 1u);
    EXPECT_TRUE(host.commands.HasUpdateCallback(PumpId));
    ASSERT_TRUE(TickUntil([&] { return peer.Delivered().size() == 12; }, 20s));
    EXPECT_THAT(FirstLines(peer.Delivered()), ElementsAreArray(ExpectedFirstLines(12)));
    // One post at a time: none arrived while the one before it was still held.
    const auto all = peer.All();
    for (size_t index = 1; index < all.size(); ++index)
        EXPECT_GE(all[index].at - all[index - 1].at, 20ms);
}

TEST_F(OutboxTest, RateLimitedPostsAreSentAgainWhenThePeerSaysUntilEachArrives) {
    // A storm of refusals: every second post is refused once, with the wait in the body.
    ScriptedPeer peer([](size_t index, const std::string&) {
        if (index % 2 == 1)
            return ScriptedPeer::Answer{
                .status = 429,
                .headers = {{"Retry-After", "30"}, {"X-RateLimit-Remaining", "0"}},
                .body = R"({"message": "You are being rate limited.", "retry_after": 0.25, )"
                        R"("global": false})"};
        return ScriptedPeer::Answer{};
    });
    AddReportedCreatures(6);
    LoadWithPeer(peer);
    ASSERT_TRUE(TickUntil([&] { return peer.Delivered().size() == 6; }, 20s));
    EXPECT_THAT(FirstLines(peer.Delivered()), ElementsAreArray(ExpectedFirstLines(6)));
    const auto all = peer.All();
    for (size_t index = 1; index < all.size(); ++index) {
        if (all[index - 1].status != 429) continue;
        // The same post again, after the body's 0.25 s, not the header's coarser 30 s.
        EXPECT_EQ(all[index].content, all[index - 1].content);
        EXPECT_GE(all[index].at - all[index - 1].at, 250ms);
        EXPECT_LT(all[index].at - all[index - 1].at, 10s);
    }
    EXPECT_THAT(Events("log").size(), 6u);  // the destroy lines only: nothing was dropped
}

TEST_F(OutboxTest, RetryAfterHeaderAloneIsHonoured) {
    ScriptedPeer peer([](size_t index, const std::string&) {
        if (index == 0)
            return ScriptedPeer::Answer{.status = 429, .headers = {{"Retry-After", "1"}}};
        return ScriptedPeer::Answer{};
    });
    AddReportedCreatures(1);
    LoadWithPeer(peer);
    ASSERT_TRUE(TickUntil([&] { return peer.Delivered().size() == 1; }, 10s));
    const auto all = peer.All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_GE(all[1].at - all[0].at, 1s);
}

TEST_F(OutboxTest, PeerThatHasNoPostsLeftInItsWindowIsWaitedFor) {
    ScriptedPeer peer([](size_t index, const std::string&) {
        if (index == 0)
            return ScriptedPeer::Answer{
                .headers = {{"X-RateLimit-Remaining", "0"}, {"X-RateLimit-Reset-After", "0.8"}}};
        return ScriptedPeer::Answer{.headers = {{"X-RateLimit-Remaining", "4"}}};
    });
    AddReportedCreatures(3);
    LoadWithPeer(peer);
    ASSERT_TRUE(TickUntil([&] { return peer.Delivered().size() == 3; }, 10s));
    const auto all = peer.All();
    ASSERT_EQ(all.size(), 3u);  // waited instead of being refused
    EXPECT_GE(all[1].at - all[0].at, 800ms);
}

TEST_F(OutboxTest, FailedPostIsTriedFiveTimesWithGrowingPausesThenDroppedWithOneWarning) {
    ScriptedPeer peer([](size_t, const std::string& content) {
        if (content.starts_with(FirstLineOf(0)))
            return ScriptedPeer::Answer{.status = 500, .body = "{\"message\": \"oops\"}"};
        return ScriptedPeer::Answer{};
    });
    AddReportedCreatures(2);
    LoadWithPeer(peer);
    ASSERT_TRUE(TickUntil([&] { return peer.Delivered().size() == 1; }, 30s));
    const auto all = peer.All();
    ASSERT_EQ(all.size(), 6u);  // five tries of the first report, then the second
    const std::vector<std::chrono::milliseconds> pauses{1000ms, 2000ms, 4000ms, 8000ms, 16000ms};
    for (size_t index = 1; index < 5; ++index) {
        EXPECT_GE(all[index].at - all[index - 1].at, pauses[index - 1]);
        EXPECT_LT(all[index].at - all[index - 1].at, pauses[index] + 4000ms);  // not the next
    }
    EXPECT_THAT(FirstLines(peer.Delivered()), ElementsAre(FirstLineOf(1)));
    std::vector<std::string> warnings;
    for (const auto& log : Events("log"))
        if (log.at("text").get<std::string>().starts_with("Dropped"))
            warnings.push_back(log.at("text"));
    EXPECT_THAT(warnings,
                ElementsAre("Dropped a report after 5 failed tries: over-level report of Dino0 "
                            "level 20"));
}

TEST_F(OutboxTest, PeerThatNeverAnswersCostsTheGameThreadNothingAndIsTriedAgain) {
    // The first post is held past the client's 5 s limit; later ones are answered at once.
    ScriptedPeer peer([](size_t index, const std::string&) {
        return ScriptedPeer::Answer{.hold = index == 0 ? 7000ms : 0ms};
    });
    AddReportedCreatures(3);
    LoadWithPeer(peer);
    // Ticks stay short while the peer is silent.
    auto longestTick = Clock::duration::zero();
    const bool done = TickUntil(
        [&] {
            const auto start = Clock::now();
            host.commands.RunUpdateCallbacks(0);
            longestTick = std::max(longestTick, Clock::now() - start);
            return peer.Delivered().size() == 3;
        },
        30s);
    ASSERT_TRUE(done);
    EXPECT_LT(longestTick, 1s);  // the client waits 5 s for the silent peer, off this thread
    EXPECT_THAT(FirstLines(peer.Delivered()), ElementsAreArray(ExpectedFirstLines(3)));
    EXPECT_EQ(peer.All().at(1).content, peer.All().at(0).content);  // the same post, again
}

TEST_F(OutboxTest, UnloadWithFiveThousandWaitingPostsReturnsAtOnceAndKeepsThemInTheSpool) {
    ScriptedPeer peer(
        [](size_t, const std::string&) { return ScriptedPeer::Answer{.hold = 60000ms}; });
    AddReportedCreatures(5000);
    LoadWithPeer(peer);
    TickFor(100ms);
    const auto started = Clock::now();
    UnloadPlugin();
    EXPECT_LT(Clock::now() - started, 2s);
    EXPECT_EQ(Texts("log").back(), "5000 waiting posts stay in outbox.jsonl for the next load");
}

TEST_F(OutboxTest, BeyondTenThousandWaitingPostsTheNewestAreDroppedAndCountedOnce) {
    // The first post stays unanswered however long the sweep takes: a real peer's answer would
    // come, or the client give up, after a time that a slow sweep of this world can exceed.
    host.sendRequests = false;
    host.unsentPosts = standin::Host::UnsentPosts::Unanswered;
    AddReportedCreatures(10050);
    LoadWithWebhook("http://127.0.0.1:9/hook");
    TickFor(100ms);
    // One post in flight, 10,000 waiting, the 49 newest dropped: one line for the burst, then
    // the first 20 of them by name and a count of the others.
    std::vector<std::string> warnings;
    for (const std::string& text : Texts("log"))
        if (text.starts_with("Dropped")) warnings.push_back(text);
    std::vector<std::string> expected = {"Dropped 49 posts: 10000 posts were already waiting"};
    for (size_t index = 10001; index < 10021; ++index)
        expected.push_back("Dropped: over-level report of Dino" + std::to_string(index) +
                           " level 20");
    expected.push_back("Dropped: 29 more reports");
    EXPECT_THAT(warnings, ElementsAreArray(expected));
    UnloadPlugin();
    EXPECT_EQ(Texts("log").back(), "10001 waiting posts stay in outbox.jsonl for the next load");
}

TEST_F(OutboxTest, ReportWithoutUrlIsPassedThroughOnceWithoutPacingOrRetries) {
    AddReportedCreatures(3);
    WriteConfigJson({{"DestroyDinosOverLevel", 10}});
    LoadPlugin();
    TickFor(1500ms);
    EXPECT_EQ(Events("post").size(), 3u);
    EXPECT_FALSE(host.commands.HasUpdateCallback(PumpId));
}

TEST_F(OutboxTest, ReportsWaitingAtUnloadReachTheChatAfterTheNextLoadInOrderOnce) {
    // The chat refuses for its rate until the restart, and takes everything after it.
    std::atomic<bool> restarted = false;
    ScriptedPeer peer([&](size_t, const std::string&) {
        if (restarted) return ScriptedPeer::Answer{};
        return ScriptedPeer::Answer{
            .status = 429,
            .body = R"({"message": "You are being rate limited.", "retry_after": 60})"};
    });
    AddReportedCreatures(5);
    LoadWithPeer(peer);
    ASSERT_TRUE(
        TickUntil([&] { return StatusSays("\nfirst post: waits for the chat's window"); }, 5s));
    UnloadPlugin();
    EXPECT_EQ(Texts("log").back(), "5 waiting posts stay in outbox.jsonl for the next load");
    EXPECT_THAT(peer.Delivered(), IsEmpty());

    restarted = true;
    AddReportedCreature("Dino5");  // a new report, made by the next load's sweep
    LoadWithPeer(peer);
    // Delivered as the plugin knows it: a post the chat took but whose answer is still on its way
    // at unload stays in the spool, and goes again (at least once).
    ASSERT_TRUE(TickUntil([&] { return StatusSays("posts: 6 sent, 0 waiting"); }, 20s));
    UnloadPlugin();
    LoadWithPeer(peer);  // a third load finds nothing left to send
    TickFor(500ms);
    EXPECT_THAT(FirstLines(peer.Delivered()), ElementsAreArray(ExpectedFirstLines(6)));
}

TEST_F(OutboxTest, RetryAfterIsSecondsOrAnHttpDateAndAnythingElseFallsBackToTheBackoff) {
    // The pause after a 503 with this Retry-After, in seconds of the game clock: the post is not
    // sent again before `from`, and is by `until`. The back-off after a first failure is 1 s.
    struct Case {
        std::function<std::string()> value;
        int from;
        int until;
    };
    const std::vector<Case> cases = {
        {[] { return "30"; }, 25, 32},
        {[] { return HttpDateAhead(45); }, 40, 47},
        {[] { return "soon"; }, 0, 2},
        {[] { return "-5"; }, 0, 2},
        {[] { return "Sun, 31 Feb 2100 08:49:37 GMT"; }, 0, 2},
    };
    for (size_t row = 0; row < cases.size(); ++row) {
        const Case& test = cases[row];
        ScriptedPeer peer([&](size_t index, const std::string&) {
            if (index > 0) return ScriptedPeer::Answer{};
            return ScriptedPeer::Answer{.status = 503, .headers = {{"Retry-After", test.value()}}};
        });
        AddReportedCreature("Row" + std::to_string(row));
        LoadWithPeer(peer);
        // The refusal counts a try, whatever it asks for.
        ASSERT_TRUE(TickUntil([&] { return StatusSays("after a refusal (try 2 of 5)"); }, 5s))
            << "row " << row << ": " << Status();
        host.clockAdvance += std::chrono::seconds(test.from);
        TickFor(200ms);
        EXPECT_EQ(peer.All().size(), 1u) << "row " << row << ": sent again too soon";
        host.clockAdvance += std::chrono::seconds(test.until - test.from);
        EXPECT_TRUE(TickUntil([&] { return peer.Delivered().size() == 1; }, 5s))
            << "row " << row << ": not sent again in time";
        UnloadPlugin();
    }
}

TEST_F(OutboxTest, WebHookTokenIsInNoStatusLogLineOrSpool) {
    ScriptedPeer peer([](size_t, const std::string&) {
        return ScriptedPeer::Answer{.status = 500, .body = R"({"message": "oops"})"};
    });
    const std::string hook = peer.Url() + "/api/webhooks/1234/";
    LoadWithWebhook(hook + "s3cr3t-T0ken");
    AddReportedCreature("Rex");
    host.world->SpawnDino({.key = "rex-2", .name = u"Rex", .level = 20});
    host.clockAdvance += 1100ms;
    ASSERT_TRUE(TickUntil([&] { return StatusSays("(try 2 of 5)"); }, 5s));
    const std::string status = Status();
    EXPECT_THAT(status, HasSubstr("\nreports to " + hook + "…"));
    EXPECT_THAT(status, HasSubstr("\nfirst post: tried again at "));
    EXPECT_THAT(status, HasSubstr(" after the answer \"oops\" (try 2 of 5)"));
    UnloadPlugin();
    std::stringstream spool;
    spool << std::ifstream(ConfigPath().parent_path() / "outbox.jsonl").rdbuf();
    EXPECT_THAT(spool.str(), HasSubstr("\"creature\":\"Rex\""));
    for (const std::string& text : Texts("reply")) EXPECT_THAT(text, Not(HasSubstr("s3cr3t")));
    for (const std::string& text : Texts("log")) EXPECT_THAT(text, Not(HasSubstr("s3cr3t")));
    EXPECT_THAT(spool.str(), Not(HasSubstr("s3cr3t")));
}

}  // namespace

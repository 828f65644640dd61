// The plugin under the Windows loader's rules, in one process: cycles of LoadLibraryW, a sweep
// that destroys and posts from inside DllMain, BeginPlay and the deferred check, a good and a
// failed reload, and FreeLibrary, each step under a time limit; and FreeLibrary while a post is
// in flight and others wait. A step that deadlocks under the loader lock ends the process.
#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "tests/PluginFixture.h"
#include "tests/TextPattern.h"
#include "tests/windows/SilentPeer.h"
#include "tests/windows/StepLimit.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Cycles = 20;
constexpr std::chrono::seconds StepTime = 60s;  // generous: the machine may be busy

class LoaderRulesTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
    }

    template <typename Done>
    bool TickUntil(Done done, std::chrono::seconds limit = 30s) {
        const auto end = Clock::now() + limit;
        while (Clock::now() < end) {
            host.commands.RunUpdateCallbacks(0.01f);
            if (done()) return true;
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    std::string Console(const std::string& line) {
        host.commands.ExecuteConsole(line, host.world->AdminPlayer());
        const std::vector<std::string> replies = Texts("reply");
        return replies.empty() ? "" : replies.back();
    }

    // The outbox's counts as tmwd.status shows them: "posts: 1 sent, 0 waiting, 0 dropped".
    std::string PostCounts() {
        const auto found = TextPattern("posts: [^\n]*").Search(Console("tmwd.status"));
        return found ? (*found)[0] : "";
    }

    void ExpectNothingRegistered() const {
        EXPECT_FALSE(BeginPlayHooked());
        for (const char* command :
             {"tmwd.reload", "tmwd.status", "tmwd.preview", "tmwd.release", "tmwd.recheck"}) {
            EXPECT_FALSE(host.commands.HasConsoleCommand(command)) << command;
            EXPECT_FALSE(host.commands.HasRconCommand(command)) << command;
        }
        EXPECT_EQ(host.commands.UpdateCallbackCount(), 0u);
    }

    StepLimit steps;
};

TEST_F(LoaderRulesTest, CyclesOfLoadWorkAndFreeLibraryNeitherHangNorLeaveAnythingBehind) {
    const char* chatUrl = std::getenv("TAMEWARDEN_CHAT_URL");
    ASSERT_NE(chatUrl, nullptr) << "no chat stand-in named: scripts/test-windows.sh starts one";
    const std::string config =
        nlohmann::json{{"DestroyDinosOverLevel", 100}, {"LevelWarningWebhook", chatUrl}}.dump();
    for (int cycle = 0; cycle < Cycles && !HasFailure(); ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        const std::string swept = "swept" + std::to_string(cycle);
        const std::string spawned = "spawned" + std::to_string(cycle);
        host.events.Clear();
        WriteConfig(config);
        host.world->AddDino({.key = swept, .level = 150});

        steps.Run("LoadLibraryW, whose DllMain sweeps and posts", StepTime, [&] { LoadPlugin(); });
        EXPECT_THAT(DestroyedKeys(), ElementsAre(swept));
        EXPECT_EQ(PostBodies().size(), 1u);  // started inside DllMain
        steps.Run("the sweep's post answered", StepTime, [&] {
            EXPECT_TRUE(TickUntil([&] {
                return PostCounts() == "posts: 1 sent, 0 waiting, 0 dropped";
            })) << PostCounts();
        });

        steps.Run("BeginPlay and the deferred check", StepTime, [&] {
            host.world->SpawnDino({.key = spawned, .level = 150});
            EXPECT_TRUE(TickUntil([&] { return DestroyedKeys().size() == 2; }));
        });
        EXPECT_THAT(DestroyedKeys(), ElementsAre(swept, spawned));

        steps.Run("a good reload", StepTime,
                  [&] { EXPECT_EQ(Console("tmwd.reload"), "TameWarden: Reloaded config"); });
        WriteConfig("{\"DestroyDinosOverLevel\": ");
        steps.Run("a failed reload", StepTime, [&] {
            EXPECT_EQ(Console("tmwd.reload"), "TameWarden: Failed to reload config");
        });
        steps.Run("the deferred check's post answered", StepTime, [&] {
            EXPECT_TRUE(TickUntil([&] {
                return PostCounts() == "posts: 2 sent, 0 waiting, 0 dropped";
            })) << PostCounts();
        });

        steps.Run("FreeLibrary", StepTime, [&] { UnloadPlugin(); });
        ExpectNothingRegistered();
    }
}

TEST_F(LoaderRulesTest, FreeLibraryWhileAPostIsInFlightAndOthersWaitEndsTheirWork) {
    SilentPeer peer;
    WriteConfigJson({{"DestroyDinosOverLevel", 100}, {"LevelWarningWebhook", peer.Url()}});
    for (const char* key : {"rex1", "rex2", "rex3", "rex4"})
        host.world->AddDino({.key = key, .level = 150});
    steps.Run("LoadLibraryW, whose DllMain sweeps and posts", StepTime, [&] { LoadPlugin(); });
    steps.Run("the first post reaching the peer", StepTime,
              [&] { EXPECT_TRUE(TickUntil([&] { return peer.Received() == 1; })); });
    EXPECT_EQ(PostCounts(), "posts: 0 sent, 4 waiting, 0 dropped");

    const auto began = Clock::now();
    steps.Run("FreeLibrary with a post in flight", StepTime, [&] { UnloadPlugin(); });
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began);
    std::printf("FreeLibrary with a post in flight took %lld ms\n",
                static_cast<long long>(took.count()));
    ExpectNothingRegistered();
    EXPECT_THAT(
        Texts("log"),
        ::testing::Contains(HasSubstr("4 waiting posts stay in outbox.jsonl for the next load")));
    EXPECT_EQ(peer.Received(), 1);  // the others never left
}

}  // namespace

// How long CreatePostRequest, and the plugin's PostToWebhook above it, keep the game thread while a
// local listener takes 2 s to answer each post: the call only queues, so this should be
// microseconds.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "audit/AuditRules.h"
#include "audit/Notifier.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "host/Requests.h"
#include "standin/HttpRequests.h"

namespace {

// A listener on 127.0.0.1 that answers each post after 2 s, or at once when released.
class SlowListener {
public:
    SlowListener() {
        server.Post("/hook", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex);
            released.wait_for(lock, std::chrono::seconds(2), [this] { return releasing; });
            response.set_content("ok", "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        // stop() does nothing before the server runs, so a quick stop would leave it accepting.
        for (int wait = 0; wait < 500 && !server.is_running(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SlowListener() {
        {
            std::lock_guard lock(mutex);
            releasing = true;
            released.notify_all();
        }
        server.stop();
        thread.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/hook"; }

private:
    httplib::Server server;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable released;
    bool releasing = false;
    int port = 0;
};

void CreatePostRequestWhilePeerDelays(benchmark::State& state) {
    SlowListener listener;
    const std::string url = listener.Url();
    const std::string body = "{\"content\":\"Rex (level 450) destroyed\"}";
    const auto completion = [](bool, std::string, std::unordered_map<std::string, std::string>) {};
    int64_t accepted = 0;
    for (auto _ : state) {
        accepted +=
            API::Requests::Get().CreatePostRequest(url, completion, body, "application/json", {});
    }
    // Outside the timed loop: the posts still waiting on the peer are cancelled, so the run ends
    // at once.
    standin::StopRequests();
    state.counters["accepted"] = static_cast<double>(accepted);
}
BENCHMARK(CreatePostRequestWhilePeerDelays)->Iterations(200)->Unit(benchmark::kMicrosecond);

// The plugin's whole post: the body serialised, the URL read from the configuration, the post
// handed to the outbox (the first one starts at once, the others wait behind it).
void PostToWebhookWhilePeerDelays(benchmark::State& state) {
    SlowListener listener;
    SetConfig({{"LevelWarningWebhook", listener.Url()}});
    const std::string message =
        "# Destroyed dino(Rex) level 1200 from tribe 1000050001 at X=1520.000 Y=-33.250 "
        "Z=0.125\nMembers: ```Ann - EOS id: 0002a1b2c3d4e5f60718293a4b5c6d7e```";
    for (auto _ : state)
        ServerEffects().Post({AuditRule::OverLevel, CurrentConfig().LevelWarningWebhook.Read(),
                              message, ReportBodies(message), "Rex", 1200});
    standin::StopRequests();
    SetConfig(nullptr);
}
BENCHMARK(PostToWebhookWhilePeerDelays)->Iterations(200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

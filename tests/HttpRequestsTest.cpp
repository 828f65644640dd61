// The stand-in host's web-hook client against a real HTTP listener on 127.0.0.1: what arrives,
// what the completion gets, that the caller never waits, and that a stop leaves nothing behind.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/Requests.h"
#include "standin/Host.h"
#include "standin/HttpRequests.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// What one completion received, and on which thread.
struct Outcome {
    bool success = false;
    std::string body;
    std::unordered_map<std::string, std::string> headers;
    std::thread::id thread;
    Clock::time_point at;
};

// Collects completions; waits for them with a time limit.
class Completions {
public:
    API::Requests::Completion Make() {
        return [this](bool success, std::string body,
                      std::unordered_map<std::string, std::string> headers) {
            std::lock_guard lock(mutex);
            outcomes.push_back({success, std::move(body), std::move(headers),
                                std::this_thread::get_id(), Clock::now()});
            arrived.notify_all();
        };
    }

    bool WaitFor(std::size_t count, std::chrono::milliseconds limit = 8000ms) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, limit, [&] { return outcomes.size() >= count; });
    }

    std::vector<Outcome> All() {
        std::lock_guard lock(mutex);
        return outcomes;
    }

private:
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Outcome> outcomes;
};

// What the listener received with one request.
struct Received {
    std::string body;
    std::string contentType;
    std::string header;
};

// A real HTTP server on 127.0.0.1 with an ephemeral port. Paths: /ok answers at once, /delayed
// after 2 s, /hang until released, /error with status 500.
class Listener {
public:
    Listener() {
        server.set_keep_alive_timeout(1);
        server.Post("/ok", [this](const httplib::Request& request, httplib::Response& response) {
            Keep(request);
            response.set_header("X-Reply", "kept");
            response.set_content("{\"ok\":true}", "application/json");
        });
        server.Post("/delayed", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex);
            released.wait_for(lock, 2s, [this] { return releasing; });
            response.set_content("late", "text/plain");
        });
        server.Post("/hang", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex);
            released.wait_for(lock, 10s, [this] { return releasing; });
            response.set_content("released", "text/plain");
        });
        server.Post("/error", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("broken", "text/plain");
        });
        port = server.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { server.listen_after_bind(); });
        // stop() does nothing before the server runs, so a quick stop would leave it accepting.
        for (int wait = 0; wait < 500 && !server.is_running(); ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    ~Listener() {
        Release();
        server.stop();
        thread.join();
    }

    void Release() {
        std::lock_guard lock(mutex);
        releasing = true;
        released.notify_all();
    }

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port) + path;
    }

    std::vector<Received> AllReceived() {
        std::lock_guard lock(mutex);
        return received;
    }

    int port = 0;

private:
    void Keep(const httplib::Request& request) {
        std::lock_guard lock(mutex);
        received.push_back({request.body, request.get_header_value("Content-Type"),
                            request.get_header_value("X-Tame-Test")});
    }

    httplib::Server server;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable released;
    bool releasing = false;
    std::vector<Received> received;
};

// A port on 127.0.0.1 that nothing listens on: bound once to learn a free number, then closed.
int ClosedPort() {
    const int socketHandle = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(socketHandle, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(socketHandle, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(socketHandle);
    return ntohs(address.sin_port);
}

// A call that waited on its peer would take the delayed path's 2 s or a transfer's 5 s limit; a
// loaded machine, sanitised, can add tens of milliseconds to one that did not.
constexpr auto AtOnce = 500ms;

struct TimedCall {
    bool accepted;
    std::chrono::microseconds took;
};

TimedCall Post(const std::string& url, const API::Requests::Completion& completion,
               const std::string& body = "{}", const std::vector<std::string>& headerLines = {}) {
    const auto start = Clock::now();
    const bool accepted = API::Requests::Get().CreatePostRequest(url, completion, body,
                                                                 "application/json", headerLines);
    return {accepted, std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start)};
}

class HttpRequestsTest : public ::testing::Test {
protected:
    void SetUp() override { host.Reset(); }
    void TearDown() override {
        standin::StopRequests();
        host.Reset();
    }

    standin::Host& host = standin::Host::Get();
    Listener listener;
    Completions completions;
};

// What arrives at the peer

TEST_F(HttpRequestsTest, BodyAndContentTypeArriveExactly) {
    const std::string body = "{\"content\":\"say \\\"hi\\\"\\nRex \xC3\xA9\xE2\x9C\x93\"}";
    EXPECT_TRUE(Post(listener.Url("/ok"), completions.Make(), body).accepted);
    ASSERT_TRUE(completions.WaitFor(1));

    const auto received = listener.AllReceived();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].body, body);
    EXPECT_EQ(received[0].contentType, "application/json");
}

TEST_F(HttpRequestsTest, HeaderLinesArriveAsGiven) {
    Post(listener.Url("/ok"), completions.Make(), "{}",
         {"X-Tame-Test: one two", "Accept: application/json"});
    ASSERT_TRUE(completions.WaitFor(1));

    const auto received = listener.AllReceived();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].header, "one two");
}

TEST_F(HttpRequestsTest, CallRecordsPostEventWithUrlAndBody) {
    const std::string url = listener.Url("/ok");
    Post(url, completions.Make(), "{\"content\":\"a\"}");
    Post("", completions.Make(), "{\"content\":\"b\"}");

    const std::vector<nlohmann::json> expected = {
        {{"type", "post"}, {"url", url}, {"body", "{\"content\":\"a\"}"}},
        {{"type", "post"}, {"url", ""}, {"body", "{\"content\":\"b\"}"}},
    };
    EXPECT_EQ(host.events.OfType("post"), expected);
    EXPECT_TRUE(completions.WaitFor(2));
}

// What the completion receives

TEST_F(HttpRequestsTest, CompletionGetsSuccessBodyAndHeadersOnAWorkerThread) {
    EXPECT_TRUE(Post(listener.Url("/ok"), completions.Make()).accepted);
    ASSERT_TRUE(completions.WaitFor(1));

    const Outcome outcome = completions.All().at(0);
    EXPECT_TRUE(outcome.success);
    EXPECT_EQ(outcome.body, "{\"ok\":true}");
    ASSERT_EQ(outcome.headers.count("X-Reply"), 1u);
    EXPECT_EQ(outcome.headers.at("X-Reply"), "kept");
    EXPECT_EQ(outcome.headers.at("Content-Type"), "application/json");
    EXPECT_NE(outcome.thread, std::this_thread::get_id());
}

TEST_F(HttpRequestsTest, ErrorStatusCompletesWithFailureAndTheBody) {
    Post(listener.Url("/error"), completions.Make());
    ASSERT_TRUE(completions.WaitFor(1));

    const Outcome outcome = completions.All().at(0);
    EXPECT_FALSE(outcome.success);
    EXPECT_EQ(outcome.body, "broken");
}

// The caller never waits

TEST_F(HttpRequestsTest, EmptyUrlCompletesWithFailureWithoutBlocking) {
    const TimedCall call = Post("", completions.Make());
    EXPECT_LT(call.took, AtOnce);
    ASSERT_TRUE(completions.WaitFor(1));
    EXPECT_FALSE(completions.All().at(0).success);
}

TEST_F(HttpRequestsTest, ClosedPortCompletesWithFailureWithoutBlocking) {
    const TimedCall call =
        Post("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/hook", completions.Make());
    EXPECT_TRUE(call.accepted);
    EXPECT_LT(call.took, AtOnce);
    ASSERT_TRUE(completions.WaitFor(1));
    const Outcome outcome = completions.All().at(0);
    EXPECT_FALSE(outcome.success);
    EXPECT_NE(outcome.thread, std::this_thread::get_id());
}

TEST_F(HttpRequestsTest, CallReturnsAtOnceWhileListenerDelaysItsAnswer) {
    const auto start = Clock::now();
    const TimedCall call = Post(listener.Url("/delayed"), completions.Make());
    const auto returned = Clock::now();
    std::printf("CreatePostRequest returned after %lld us\n",
                static_cast<long long>(call.took.count()));
    EXPECT_TRUE(call.accepted);
    EXPECT_LT(call.took, AtOnce);

    ASSERT_TRUE(completions.WaitFor(1));
    const Outcome outcome = completions.All().at(0);
    EXPECT_TRUE(outcome.success);
    EXPECT_EQ(outcome.body, "late");
    EXPECT_GE(outcome.at - start, 1900ms);
    EXPECT_LT(returned, outcome.at);
}

TEST_F(HttpRequestsTest, PostsBeyondThePendingLimitFailAtOnce) {
    for (std::size_t index = 0; index < standin::MaxPendingRequests; ++index)
        ASSERT_TRUE(Post(listener.Url("/hang"), completions.Make()).accepted);

    const TimedCall refused = Post(listener.Url("/hang"), completions.Make());
    EXPECT_FALSE(refused.accepted);
    EXPECT_LT(refused.took, AtOnce);
    const auto outcomes = completions.All();
    ASSERT_EQ(outcomes.size(), 1u);  // the refused one, completed before the call returned
    EXPECT_FALSE(outcomes[0].success);
}

// Stopping

TEST_F(HttpRequestsTest, StopAbortsHangingTransfersAndDestroysTheirCompletions) {
    auto token = std::make_shared<int>(0);
    std::weak_ptr<int> watched = token;
    std::atomic<int> failures = 0;
    constexpr int posts = 8;  // more than the workers, so some are still queued
    for (int index = 0; index < posts; ++index)
        Post(listener.Url("/hang"),
             [token, &failures](bool success, std::string,
                                std::unordered_map<std::string, std::string>) {
                 if (!success) ++failures;
             });
    token.reset();
    std::this_thread::sleep_for(200ms);  // let the workers connect and wait on the peer

    const auto start = Clock::now();
    standin::StopRequests();
    const auto took = Clock::now() - start;
    std::printf("StopRequests took %lld us\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::microseconds>(took).count()));

    EXPECT_LT(took, AtOnce);
    EXPECT_EQ(failures, posts);
    EXPECT_TRUE(watched.expired());
}

TEST_F(HttpRequestsTest, PostAfterStopStartsWorkersAgain) {
    Post(listener.Url("/ok"), completions.Make());
    ASSERT_TRUE(completions.WaitFor(1));
    standin::StopRequests();

    EXPECT_TRUE(Post(listener.Url("/ok"), completions.Make()).accepted);
    ASSERT_TRUE(completions.WaitFor(2));
    EXPECT_TRUE(completions.All().at(1).success);
}

// The plugin may still have a post waiting on a silent peer when the process exits: the workers
// must be stopped by then, not left to outlive what they use.
TEST_F(HttpRequestsTest, ExitWithAPostHangingEndsAtOnceAndCompletesIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto start = Clock::now();
    EXPECT_EXIT(
        {
            Post(listener.Url("/hang"),
                 [](bool success, std::string, std::unordered_map<std::string, std::string>) {
                     std::fprintf(stderr, "completed %s\n", success ? "ok" : "with failure");
                 });
            std::this_thread::sleep_for(200ms);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "completed with failure");
    // Well under the 5 s transfer limit: the exit aborted the transfer instead of waiting it out.
    EXPECT_LT(Clock::now() - start, 3s);
}

TEST_F(HttpRequestsTest, StopWithNothingPendingReturnsAtOnce) {
    const auto start = Clock::now();
    standin::StopRequests();
    standin::StopRequests();
    EXPECT_LT(Clock::now() - start, AtOnce);
}

}  // namespace

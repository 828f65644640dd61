// The chat stand-in keeps the chat service's limits, so the outbox is tested against what that
// service really does: content length, posts per window, the rate headers, a User-Agent.
#include <gmock/gmock.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "standin/server/ChatListener.h"

using ::testing::ElementsAre;

namespace {

struct Seen {
    std::string content;
    standin::ChatOutcome outcome;
};

class ChatStandInTest : public ::testing::Test {
protected:
    void Start(standin::ChatLimits limits = {}) {
        chat = std::make_unique<standin::ChatListener>(
            0,
            [this](const std::string&, const std::string& content, standin::ChatOutcome outcome) {
                std::lock_guard lock(mutex);
                seen.push_back({content, outcome});
            },
            limits);
        client = std::make_unique<httplib::Client>("127.0.0.1", chat->Port());
        client->set_default_headers({{"User-Agent", "TameWarden/1.0"}});
    }
    httplib::Result Post(const std::string& content, const std::string& path = "/hook") {
        return client->Post(path, nlohmann::json({{"content", content}}).dump(),
                            "application/json");
    }

    std::unique_ptr<standin::ChatListener> chat;
    std::unique_ptr<httplib::Client> client;
    std::mutex mutex;
    std::vector<Seen> seen;
};

TEST_F(ChatStandInTest, SixthPostInAWindowIsRefusedWithTheWaitAndTheRateHeaders) {
    // A window far longer than the test, so a slow machine cannot let it reset in between.
    Start({.windowSeconds = 60});
    for (int post = 0; post < 5; ++post) {
        const auto result = Post("post " + std::to_string(post));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 204);
        EXPECT_EQ(result->get_header_value("X-RateLimit-Limit"), "5");
        EXPECT_EQ(result->get_header_value("X-RateLimit-Remaining"), std::to_string(4 - post));
    }
    const auto refused = Post("post 5");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 429);
    EXPECT_EQ(refused->get_header_value("X-RateLimit-Remaining"), "0");
    const double resetAfter = std::stod(refused->get_header_value("X-RateLimit-Reset-After"));
    EXPECT_GT(resetAfter, 0.0);
    EXPECT_LE(resetAfter, 60.0);
    EXPECT_EQ(refused->get_header_value("Retry-After"),
              std::to_string(static_cast<int>(std::ceil(resetAfter))));
    const auto body = nlohmann::json::parse(refused->body);
    EXPECT_NEAR(body.at("retry_after").get<double>(), resetAfter, 0.01);
    EXPECT_EQ(body.at("global"), false);
    // Another hook has a window of its own.
    EXPECT_EQ(Post("elsewhere", "/other")->status, 204);
}

TEST_F(ChatStandInTest, ContentOverTwoThousandCharactersIsRefusedNamingTheField) {
    Start();
    std::string umlauts;
    for (int i = 0; i < 2000; ++i) umlauts += "\xC3\xA4";  // 2000 characters, 4000 bytes
    EXPECT_EQ(Post(umlauts)->status, 204);
    const auto refused = Post(umlauts + "x");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    EXPECT_TRUE(nlohmann::json::parse(refused->body).contains("content"));
    std::lock_guard lock(mutex);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].outcome, standin::ChatOutcome::RefusedTooLong);
}

TEST_F(ChatStandInTest, PostWithoutUserAgentIsRefusedAndUnlimitedModeTakesEverything) {
    Start();
    client->set_default_headers({});
    // httplib adds its own User-Agent unless the header is there and empty.
    const auto refused =
        client->Post("/hook", {{"User-Agent", ""}}, R"({"content": "x"})", "application/json");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);

    Start({.enforced = false});
    client->set_default_headers({});
    for (int post = 0; post < 6; ++post) EXPECT_EQ(Post(std::string(2001, 'y'))->status, 204);
}

}  // namespace

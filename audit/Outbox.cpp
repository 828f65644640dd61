#include "audit/Outbox.h"

#include <fmt/chrono.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <nlohmann/json.hpp>
#include <unordered_map>

#include "audit/RetryAfter.h"
#include "audit/RuleIdentity.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "base/FailureLog.h"
#include "base/Logger.h"
#include "base/PluginVersion.h"
#include "host/AsaApi.h"
#include "host/Refused.h"
#include "host/Requests.h"

namespace {

using Headers = std::unordered_map<std::string, std::string>;
using Seconds = std::chrono::duration<double>;

// A post with no answer at all after this long counts as failed (the host lost it).
constexpr Seconds InFlightLimit{60};
// The longest pause the peer may ask for; a longer one is shortened to this.
constexpr Seconds LongestWait{60};
// The part of a peer's message that tmwd.status quotes.
constexpr size_t LongestQuotedAnswer = 60;

Outbox* existingOutbox = nullptr;

const std::vector<std::string>& HeaderLines() {
    static const std::vector<std::string> lines = {std::string("User-Agent: TameWarden/") +
                                                   PluginVersion};
    return lines;
}

std::optional<std::string> Header(const Headers& headers, std::string_view name) {
    for (const auto& [key, value] : headers)
        if (std::equal(key.begin(), key.end(), name.begin(), name.end(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return value;
    return std::nullopt;
}

std::optional<double> Number(const std::optional<std::string>& text) {
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(text->c_str(), &end);
    if (end == text->c_str() || !std::isfinite(number) || number < 0) return std::nullopt;
    return number;
}

Outbox::Clock::duration Wait(Seconds seconds) {
    return std::chrono::duration_cast<Outbox::Clock::duration>(std::min(seconds, LongestWait));
}

// The chat's own answer to a post beyond its rate (429) carries the fractional "retry_after" in
// its body: the one refusal that counts no try. The host's completion gives no status code.
std::optional<double> RateLimitRetry(const nlohmann::json& body) {
    if (!body.is_object()) return std::nullopt;
    const auto found = body.find("retry_after");
    if (found == body.end() || !found->is_number() || found->get<double>() < 0) return std::nullopt;
    return found->get<double>();
}

// A failed answer as tmwd.status names it.
std::string AnswerText(const nlohmann::json& body, const std::string& text,
                       const Headers& headers) {
    if (body.is_object()) {
        const auto message = body.find("message");
        if (message != body.end() && message->is_string()) {
            std::string quoted = message->get<std::string>();
            if (quoted.size() > LongestQuotedAnswer) quoted.resize(LongestQuotedAnswer);
            return "the answer \"" + quoted + "\"";
        }
    }
    if (text.empty() && headers.empty()) return "no answer";
    return "a refusal";
}

std::string ReportName(std::string_view rule, const std::string& creature, int32_t level) {
    return fmt::format("{} report of {} level {}", rule, creature, level);
}

// Each report once (its posts follow each other), at most MostNamedReports lines, then a count.
void NameDropped(const std::vector<std::shared_ptr<const std::string>>& names, size_t reports) {
    if (!PluginLogger()) return;
    for (const auto& name : names) PluginLogger()->warn("Dropped: {}", *name);
    if (reports > names.size())
        PluginLogger()->warn("Dropped: {} more reports", reports - names.size());
}

template <typename Posts>
void NamePosts(const Posts& posts) {
    std::vector<std::shared_ptr<const std::string>> names;
    size_t reports = 0;
    const std::string* last = nullptr;
    for (const auto& post : posts) {
        if (post.name.get() == last) continue;
        last = post.name.get();
        ++reports;
        if (names.size() < Outbox::MostNamedReports) names.push_back(post.name);
    }
    NameDropped(names, reports);
}

std::string WallClockText(Outbox::Clock::time_point at) {
    const auto wall =
        std::chrono::system_clock::now() +
        std::chrono::duration_cast<std::chrono::system_clock::duration>(at - Outbox::Clock::now());
    return fmt::format("{:%H:%M:%S}", fmt::localtime(std::chrono::system_clock::to_time_t(wall)));
}

void IgnoreAnswer(bool, std::string, Headers) {}

}  // namespace

struct Outbox::Answer {
    std::mutex mutex;
    uint64_t awaited = 0;  // the send whose answer counts; a later one makes older answers stale
    bool arrived = false;
    bool success = false;
    std::string body;
    Headers headers;
};

Outbox::Outbox() : answer(std::make_shared<Answer>()) {}

Outbox::~Outbox() {
    if (existingOutbox == this) existingOutbox = nullptr;
    if (pumpRegistered) {
        // Unloading goes on; the host refused to forget a callback it cannot call any more.
        try {
            ThrowIfRefused(
                AsaApi::GetCommands().UnregisterUpdateCallback(FString(UpdateCallbackId)),
                "ICommands::UnregisterUpdateCallback");
        } catch (const std::exception& error) {
            LogFailedUnregister(error.what());
        } catch (...) {
            LogFailedUnregister("unknown error");
        }
    }
    try {
        ReportDroppedBurst();
        // An answer that came already counts: a delivered post is not sent again.
        if (inFlight) TakeAnswer(Clock::now());
        // The post in flight counts too: its answer will never be looked at.
        const size_t left = waiting.size() + (inFlight ? 1 : 0);
        spool.Close(NothingWaits());
        if (left == 0 || !PluginLogger()) return;
        if (spoolOpened && !spool.Failed()) {
            PluginLogger()->warn("{} waiting posts stay in {} for the next load", left,
                                 spool.FileName());
            return;
        }
        PluginLogger()->warn("Dropped {} waiting posts at unload", left);
        std::vector<Post> posts;
        if (inFlight) posts.push_back(*inFlight);
        posts.insert(posts.end(), waiting.begin(), waiting.end());
        NamePosts(posts);
    } catch (...) {
        // Unloading goes on; there is nothing left to tell it with.
    }
}

void Outbox::Open(const std::string& url) noexcept {
    if (spoolOpened || url.empty()) return;
    try {
        OpenSpool(url);
        Advance(Clock::now());
    } catch (...) {
        spool.Fail("read", CaughtText());
    }
}

// What the last run left goes first, in its order, up to the outbox's bound.
void Outbox::OpenSpool(const std::string& url) {
    spoolOpened = true;
    existingOutbox = this;
    std::vector<OutboxSpool::Entry> entries = spool.Open();
    if (entries.empty()) return;
    if (PluginLogger())
        PluginLogger()->info("{} posts left waiting in {} go out first", entries.size(),
                             spool.FileName());
    std::deque<Post> left;
    std::shared_ptr<const std::string> name;
    const std::string* lastDropped = nullptr;
    for (OutboxSpool::Entry& entry : entries) {
        std::string entryName = ReportName(entry.rule, entry.creature, entry.level);
        if (!name || *name != entryName)
            name = std::make_shared<const std::string>(std::move(entryName));
        Post post{entry.number, url, std::move(entry.body), name, 0};
        if (left.size() + waiting.size() >= MaxWaitingPosts) {
            ++dropped;
            ++droppedInBurst;
            if (lastDropped != name.get()) {
                lastDropped = name.get();
                ++droppedReports;
                if (droppedNames.size() < MostNamedReports) droppedNames.push_back(name);
            }
            spool.Done(post.number, false);
            continue;
        }
        left.push_back(std::move(post));
    }
    waiting.insert(waiting.begin(), std::make_move_iterator(left.begin()),
                   std::make_move_iterator(left.end()));
    ReportDroppedBurst();
}

void Outbox::Send(const Report& report) {
    if (report.url.empty()) {
        for (const std::string& body : report.bodies) PostWithoutUrl(report, body);
        return;
    }
    if (!spoolOpened) OpenSpool(report.url);
    const std::string_view rule = RuleName(report.rule);
    const auto name =
        std::make_shared<const std::string>(ReportName(rule, report.creature, report.level));
    bool anyDropped = false;
    for (const std::string& body : report.bodies) {
        if (waiting.size() >= MaxWaitingPosts) {
            ++dropped;
            ++droppedInBurst;
            droppedThisTick = true;
            anyDropped = true;
            continue;
        }
        const uint64_t number = spool.Add(rule, report.creature, report.level, body);
        waiting.push_back({number, report.url, body, name, 0});
    }
    if (anyDropped) {
        ++droppedReports;
        if (droppedNames.size() < MostNamedReports) droppedNames.push_back(name);
    }
    Advance(Clock::now());
}

// Nothing paces a post without a URL, and nothing tries it again: the host may refuse it, which
// loses the report and is said, but never stops the check that made it.
void Outbox::PostWithoutUrl(const Report& report, const std::string& body) {
    std::string error;
    try {
        // Without a URL no chat gets it whatever the host answers, and its usual answer is false:
        // only a throw is a failure worth a line.
        API::Requests::Get().CreatePostRequest(report.url, &IgnoreAnswer, body, "application/json",
                                               HeaderLines());
        return;
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    ++dropped;
    if (PluginLogger())
        PluginLogger()->warn("Dropped a report, the host did not start its post: {} \n {}",
                             ReportName(RuleName(report.rule), report.creature, report.level),
                             error);
}

void Outbox::Pump() {
    if (NothingWaits() && droppedInBurst == 0 && !spool.HoldsLines()) return;
    if (!droppedThisTick) ReportDroppedBurst();
    droppedThisTick = false;
    Advance(Clock::now());
    spool.Write(NothingWaits());
}

void Outbox::WriteSpool() noexcept { spool.Write(NothingWaits()); }

Outbox::Counts Outbox::Statistics() const {
    return {sent, waiting.size() + (inFlight ? 1 : 0), dropped};
}

std::string Outbox::HeadWait() const {
    const Clock::time_point now = Clock::now();
    if (inFlight)
        return fmt::format(
            "in flight for {} s",
            std::chrono::duration_cast<std::chrono::seconds>(now - inFlightSince).count());
    if (waiting.empty()) return {};
    if (notBefore > now) {
        const std::string until = WallClockText(notBefore);
        if (hold == Hold::Retry && waiting.front().tries > 0)
            return fmt::format("tried again at {} after {} (try {} of {})", until, lastAnswer,
                               waiting.front().tries + 1, MaxTries);
        return "waits for the chat's window until " + until;
    }
    if (!pumpRegistered) return "waits for the host to call " + std::string(UpdateCallbackId);
    return "goes out at the next tick";
}

void Outbox::Advance(Clock::time_point now) {
    if (inFlight) TakeAnswer(now);
    if (!inFlight && !waiting.empty() && now >= notBefore) StartNext(now);
    if (inFlight || !waiting.empty()) RegisterPump();
}

void Outbox::TakeAnswer(Clock::time_point now) {
    bool success = false;
    bool answered = true;
    std::string text;
    Headers headers;
    {
        std::lock_guard lock(answer->mutex);
        if (!answer->arrived) {
            if (now - inFlightSince < InFlightLimit) return;
            ++answer->awaited;  // an answer that still comes is stale
            answered = false;
        } else {
            success = answer->success;
            text = std::move(answer->body);
            headers = std::move(answer->headers);
            answer->arrived = false;
        }
    }
    Post post = std::move(*inFlight);
    inFlight.reset();
    // The service tells how many posts it takes before its window resets.
    if (Header(headers, "X-RateLimit-Remaining") == "0")
        if (const auto reset = Number(Header(headers, "X-RateLimit-Reset-After"))) {
            notBefore = std::max(notBefore, now + Wait(Seconds(*reset)));
            hold = Hold::Window;
        }
    if (success) {
        ++sent;
        spool.Done(post.number, true);
        return;
    }
    const auto body = nlohmann::json::parse(text, nullptr, false);
    if (const auto retryAfter = RateLimitRetry(body)) {
        // Refused for the rate: the same post again, first in line, once the peer allows it.
        notBefore = std::max(notBefore, now + Wait(Seconds(*retryAfter)));
        hold = Hold::Window;
        waiting.push_front(std::move(post));
        return;
    }
    lastAnswer = answered ? AnswerText(body, text, headers) : "no answer in 60 s";
    std::optional<Clock::duration> asked;
    if (const auto value = Header(headers, "Retry-After"))
        if (const auto delay = RetryAfterDelay(*value, std::chrono::system_clock::now()))
            asked = Wait(*delay);
    Retry(std::move(post), now, asked);
}

// A pause the peer asked for replaces the back-off; either way the try counts.
void Outbox::Retry(Post post, Clock::time_point now, std::optional<Clock::duration> asked) {
    ++post.tries;
    if (post.tries >= MaxTries) {
        Drop(post);
        if (PluginLogger())
            PluginLogger()->warn("Dropped a report after {} failed tries: {}", post.tries,
                                 *post.name);
        return;
    }
    // 1, 2, 4, 8 seconds after the first, second, third and fourth failure.
    notBefore =
        std::max(notBefore, now + asked.value_or(Wait(Seconds(std::ldexp(1.0, post.tries - 1)))));
    hold = Hold::Retry;
    waiting.push_front(std::move(post));
}

void Outbox::Drop(const Post& post) {
    ++dropped;
    spool.Done(post.number, false);
}

void Outbox::StartNext(Clock::time_point now) {
    inFlight = std::move(waiting.front());
    waiting.pop_front();
    inFlightSince = now;
    hold = Hold::None;
    uint64_t number = 0;
    {
        std::lock_guard lock(answer->mutex);
        number = ++answer->awaited;
        answer->arrived = false;
    }
    // The completion only records the answer; the game thread looks at it at the next tick.
    std::weak_ptr<Answer> weak = answer;
    const auto completion = [weak, number](bool success, std::string body, Headers headers) {
        const std::shared_ptr<Answer> target = weak.lock();
        if (!target) return;
        std::lock_guard lock(target->mutex);
        if (target->awaited != number) return;
        target->arrived = true;
        target->success = success;
        target->body = std::move(body);
        target->headers = std::move(headers);
    };
    std::string error;
    try {
        ThrowIfRefused(
            API::Requests::Get().CreatePostRequest(inFlight->url, completion, inFlight->body,
                                                   "application/json", HeaderLines()),
            "API::Requests::CreatePostRequest");
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    if (!error.empty()) {
        // The host could not start it: a failure like any other, tried again after a pause. The
        // first failure of a post is said; a post given up is said again.
        if (inFlight->tries == 0 && PluginLogger())
            PluginLogger()->warn("Failed to start a post, trying it again after a pause! \n {}",
                                 error);
        {
            std::lock_guard lock(answer->mutex);
            ++answer->awaited;
        }
        Post post = std::move(*inFlight);
        inFlight.reset();
        lastAnswer = "the host did not start it";
        Retry(std::move(post), now, std::nullopt);
    }
}

// A host that refuses the callback is asked again at the next report; the posts wait meanwhile.
void Outbox::RegisterPump() {
    if (pumpRegistered) return;
    try {
        AsaApi::GetCommands().RegisterUpdateCallback(FString(UpdateCallbackId),
                                                     [this](float) { Pump(); });
        pumpRegistered = true;
        pumpRefused = false;
    } catch (const std::exception& error) {
        ReportRefusedPump(error.what());
    } catch (...) {
        ReportRefusedPump("unknown error");
    }
}

void Outbox::ReportRefusedPump(const char* reason) {
    if (pumpRefused) return;
    pumpRefused = true;
    if (PluginLogger())
        PluginLogger()->critical("Failed to register {}, reports wait for the next one! \n {}",
                                 UpdateCallbackId, reason);
}

void Outbox::LogFailedUnregister(const char* reason) {
    if (PluginLogger())
        PluginLogger()->critical("Failed to unregister {}, it stays registered! \n {}",
                                 UpdateCallbackId, reason);
}

// Posts refused while the outbox was full are logged once the burst is over: one line for the
// count, then the reports they belonged to.
void Outbox::ReportDroppedBurst() {
    if (droppedInBurst == 0) return;
    if (PluginLogger())
        PluginLogger()->warn("Dropped {} posts: {} posts were already waiting", droppedInBurst,
                             MaxWaitingPosts);
    NameDropped(droppedNames, droppedReports);
    droppedInBurst = 0;
    droppedNames.clear();
    droppedReports = 0;
}

Outbox& TheOutbox() {
    static Outbox outbox;
    existingOutbox = &outbox;
    return outbox;
}

void OpenOutbox() noexcept {
    std::string url;
    try {
        url = CurrentConfig().LevelWarningWebhook.Read();
    } catch (...) {
        return;  // a URL of the wrong type stops every check, which the status says
    }
    try {
        TheOutbox().Open(url);
    } catch (...) {
        if (PluginLogger())
            PluginLogger()->critical("Failed to open the outbox! \n {}", CaughtText());
    }
}

OutboxWrittenAtEnd::~OutboxWrittenAtEnd() {
    if (existingOutbox != nullptr) existingOutbox->WriteSpool();
}

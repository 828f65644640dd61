#include "audit/Outbox.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <nlohmann/json.hpp>
#include <unordered_map>

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

Outbox::Clock::duration Wait(double seconds) {
    return std::chrono::duration_cast<Outbox::Clock::duration>(
        std::min(Seconds(seconds), LongestWait));
}

// How long a rate-limited peer asks to wait: the body's fractional "retry_after" first, then
// the Retry-After header. None when the refusal was not for the rate.
std::optional<double> RetryAfter(const std::string& body, const Headers& headers) {
    const auto document = nlohmann::json::parse(body, nullptr, false);
    if (document.is_object()) {
        const auto found = document.find("retry_after");
        if (found != document.end() && found->is_number() && found->get<double>() >= 0)
            return found->get<double>();
    }
    return Number(Header(headers, "Retry-After"));
}

std::string FirstLine(const std::string& message) { return message.substr(0, message.find('\n')); }

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
    ReportDroppedBurst();
    // The post in flight counts too: its answer will never be looked at.
    const size_t left = waiting.size() + (inFlight ? 1 : 0);
    if (left > 0 && PluginLogger())
        PluginLogger()->warn("Dropped {} waiting posts at unload", left);
}

void Outbox::Send(const Report& report) {
    if (report.url.empty()) {
        for (const std::string& body : report.bodies) PostWithoutUrl(report, body);
        return;
    }
    const auto firstLine = std::make_shared<const std::string>(FirstLine(report.message));
    for (const std::string& body : report.bodies) {
        if (waiting.size() >= MaxWaitingPosts) {
            ++dropped;
            ++droppedInBurst;
            droppedThisTick = true;
            continue;
        }
        waiting.push_back({report.url, body, firstLine, 0});
    }
    Advance(Clock::now());
}

// Nothing paces a post without a URL, and nothing tries it again: the host may refuse it, which
// loses the report and is said, but never stops the check that made it.
void Outbox::PostWithoutUrl(const Report& report, const std::string& body) {
    std::string error;
    try {
        ThrowIfRefused(API::Requests::Get().CreatePostRequest(report.url, &IgnoreAnswer, body,
                                                              "application/json", HeaderLines()),
                       "API::Requests::CreatePostRequest");
        return;
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    ++dropped;
    if (PluginLogger())
        PluginLogger()->warn("Dropped a report, the host did not start its post: {} \n {}",
                             FirstLine(report.message), error);
}

void Outbox::Pump() {
    if (!inFlight && waiting.empty() && droppedInBurst == 0) return;
    if (!droppedThisTick) ReportDroppedBurst();
    droppedThisTick = false;
    Advance(Clock::now());
}

Outbox::Counts Outbox::Statistics() const {
    return {sent, waiting.size() + (inFlight ? 1 : 0), dropped};
}

void Outbox::Advance(Clock::time_point now) {
    if (inFlight) TakeAnswer(now);
    if (!inFlight && !waiting.empty() && now >= notBefore) StartNext(now);
    if (inFlight || !waiting.empty()) RegisterPump();
}

void Outbox::TakeAnswer(Clock::time_point now) {
    bool success = false;
    std::string body;
    Headers headers;
    {
        std::lock_guard lock(answer->mutex);
        if (!answer->arrived) {
            if (now - inFlightSince < InFlightLimit) return;
            ++answer->awaited;  // an answer that still comes is stale
        } else {
            success = answer->success;
            body = std::move(answer->body);
            headers = std::move(answer->headers);
            answer->arrived = false;
        }
    }
    Post post = std::move(*inFlight);
    inFlight.reset();
    // The service tells how many posts it takes before its window resets.
    if (Header(headers, "X-RateLimit-Remaining") == "0")
        if (const auto reset = Number(Header(headers, "X-RateLimit-Reset-After")))
            notBefore = std::max(notBefore, now + Wait(*reset));
    if (success) {
        ++sent;
        return;
    }
    if (const auto retryAfter = RetryAfter(body, headers)) {
        // Refused for the rate: the same post again, first in line, once the peer allows it.
        notBefore = std::max(notBefore, now + Wait(*retryAfter));
        waiting.push_front(std::move(post));
        return;
    }
    Retry(std::move(post), now);
}

void Outbox::Retry(Post post, Clock::time_point now) {
    ++post.tries;
    if (post.tries >= MaxTries) {
        ++dropped;
        if (PluginLogger())
            PluginLogger()->warn("Dropped a report after {} failed tries: {}", post.tries,
                                 *post.firstLine);
        return;
    }
    // 1, 2, 4, 8 seconds after the first, second, third and fourth failure.
    notBefore = std::max(notBefore, now + Wait(std::ldexp(1.0, post.tries - 1)));
    waiting.push_front(std::move(post));
}

void Outbox::StartNext(Clock::time_point now) {
    inFlight = std::move(waiting.front());
    waiting.pop_front();
    inFlightSince = now;
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
        Retry(std::move(post), now);
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

// Posts refused while the outbox was full are logged once the burst is over, in one line.
void Outbox::ReportDroppedBurst() {
    if (droppedInBurst == 0) return;
    if (PluginLogger())
        PluginLogger()->warn("Dropped {} posts: {} posts were already waiting", droppedInBurst,
                             MaxWaitingPosts);
    droppedInBurst = 0;
}

Outbox& TheOutbox() {
    static Outbox outbox;
    return outbox;
}

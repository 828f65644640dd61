// The plugin's outbox: reports leave one post at a time, in order, at the pace the chat service
// allows. A post the service refuses for its rate is sent again when it says so; a post that gets
// no answer or a server error is tried again after a growing pause. A report is lost only when
// its peer fails it five times, when 10,000 posts already wait, or at unload, and each such loss
// is logged.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "audit/AuditEffects.h"
#include "host/GameClock.h"

class Outbox {
public:
    using Clock = GameClock;

    static constexpr size_t MaxWaitingPosts = 10000;
    static constexpr int MaxTries = 5;
    static constexpr const char* UpdateCallbackId = "TWD.Outbox.Update";

    struct Counts {
        uint64_t sent = 0;     // accepted by the peer
        size_t waiting = 0;    // queued or in flight
        uint64_t dropped = 0;  // given up, for any reason
    };

    Outbox();
    // Stops sending: unregisters the pump if it was registered and drops what still waits, with
    // one log line giving the count. Waits for nothing.
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Hands over a report's posts. When nothing waits or is in flight and the peer allows it,
    // the first goes out at once, before this returns. A report without a URL is passed to the
    // host at once, with no pacing and no retries: there is no peer to pace against. Never
    // throws: what the host refuses is tried again or said.
    void Send(const Report& report);
    // One game tick: takes in the answer to the post in flight and sends the next post when due.
    void Pump();
    Counts Statistics() const;

    // What the completion of a post leaves for the game thread; the host may complete on any
    // thread, and after this outbox is gone.
    struct Answer;

private:
    struct Post {
        std::string url;
        std::string body;
        std::shared_ptr<const std::string> firstLine;  // names the report in a warning
        int tries = 0;
    };

    void Advance(Clock::time_point now);
    void TakeAnswer(Clock::time_point now);
    void StartNext(Clock::time_point now);
    void Retry(Post post, Clock::time_point now);
    void PostWithoutUrl(const Report& report, const std::string& body);
    void RegisterPump();
    void LogFailedUnregister(const char* reason);
    void ReportRefusedPump(const char* reason);
    void ReportDroppedBurst();

    std::deque<Post> waiting;
    std::optional<Post> inFlight;
    Clock::time_point inFlightSince;
    Clock::time_point notBefore;  // no post leaves before this: the peer's pace or a back-off
    std::shared_ptr<Answer> answer;
    bool pumpRegistered = false;
    bool pumpRefused = false;  // logged once until a registration succeeds
    uint64_t sent = 0;
    uint64_t dropped = 0;
    uint64_t droppedInBurst = 0;  // refused because the outbox was full, not yet logged
    bool droppedThisTick = false;
};

// The one outbox, created at the first report and destroyed when the library unloads.
Outbox& TheOutbox();

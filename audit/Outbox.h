// The plugin's outbox: reports leave one post at a time, in order, at the pace the chat service
// allows. A post the service refuses for its rate is sent again when it says so; any other
// failure (no answer, a server error, a refusal with or without "Retry-After") counts a try and
// is tried again after the pause the peer asks for or a growing one. Every waiting post is also in
// the spool on disk (OutboxSpool), so what waits at unload or a crash goes out first at the next
// load: at least once. A report is lost only when its peer fails it five times, when 10,000 posts
// already wait, or at unload with a spool that cannot be written; each loss names the reports.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "audit/AuditEffects.h"
#include "audit/OutboxSpool.h"
#include "host/GameClock.h"

class Outbox {
public:
    using Clock = GameClock;

    static constexpr size_t MaxWaitingPosts = 10000;
    static constexpr int MaxTries = 5;
    // Reports named one by one in the log for one loss; a count says the rest.
    static constexpr size_t MostNamedReports = 20;
    static constexpr const char* UpdateCallbackId = "TWD.Outbox.Update";

    struct Counts {
        uint64_t sent = 0;     // accepted by the peer
        size_t waiting = 0;    // queued or in flight
        uint64_t dropped = 0;  // given up, for any reason
    };

    Outbox();
    // Stops sending: unregisters the pump if it was registered, writes the spool and closes it.
    // What still waits stays in the spool for the next load, and one line says how many; without
    // a spool it is dropped and named. Waits for nothing.
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    // Opens the spool (OutboxSpoolPath()) and queues what it still holds, to `url`, before any new
    // report; the first goes out at once. Without a URL nothing is read: the first report with one
    // opens it. Said once when the file cannot be read or written.
    void Open(const std::string& url) noexcept;
    // Hands over a report's posts. When nothing waits or is in flight and the peer allows it,
    // the first goes out at once, before this returns. A report without a URL is passed to the
    // host at once, with no pacing, retries or spool: there is no peer to pace against. Never
    // throws: what the host refuses is tried again or said.
    void Send(const Report& report);
    // One game tick: takes in the answer to the post in flight, sends the next post when due and
    // hands the spool's new lines to the system.
    void Pump();
    // Hands the spool's new lines to the system now.
    void WriteSpool() noexcept;
    Counts Statistics() const;
    // What the first waiting post waits for ("in flight for 3 s", ...); empty when none waits.
    std::string HeadWait() const;
    // Why the spool was given up; empty while it works.
    const std::string& SpoolTrouble() const { return spool.Trouble(); }

    // What the completion of a post leaves for the game thread; the host may complete on any
    // thread, and after this outbox is gone.
    struct Answer;

private:
    struct Post {
        uint64_t number = 0;  // in the spool
        std::string url;
        std::string body;
        std::shared_ptr<const std::string> name;  // "over-level report of Rex level 1200"
        int tries = 0;
    };
    // Why the first post is not in flight.
    enum class Hold { None, Window, Retry };

    void OpenSpool(const std::string& url);
    void Advance(Clock::time_point now);
    void TakeAnswer(Clock::time_point now);
    void StartNext(Clock::time_point now);
    void Retry(Post post, Clock::time_point now, std::optional<Clock::duration> asked);
    void Drop(const Post& post);
    void PostWithoutUrl(const Report& report, const std::string& body);
    void RegisterPump();
    void LogFailedUnregister(const char* reason);
    void ReportRefusedPump(const char* reason);
    void ReportDroppedBurst();
    bool NothingWaits() const { return !inFlight && waiting.empty(); }

    std::deque<Post> waiting;
    std::optional<Post> inFlight;
    Clock::time_point inFlightSince;
    Clock::time_point notBefore;  // no post leaves before this: the peer's pace or a back-off
    Hold hold = Hold::None;
    std::string lastAnswer;  // the answer the first post is tried again after
    std::shared_ptr<Answer> answer;
    OutboxSpool spool;
    bool spoolOpened = false;
    bool pumpRegistered = false;
    bool pumpRefused = false;  // logged once until a registration succeeds
    uint64_t sent = 0;
    uint64_t dropped = 0;
    uint64_t droppedInBurst = 0;  // refused because the outbox was full, not yet logged
    std::vector<std::shared_ptr<const std::string>> droppedNames;  // of the burst, the first ones
    size_t droppedReports = 0;                                     // of the burst, all
    bool droppedThisTick = false;
};

// The one outbox, created at the first report and destroyed when the library unloads.
Outbox& TheOutbox();

// At load, before the start-up sweep: what the spool still holds goes out first.
void OpenOutbox() noexcept;
// Hands the spool's new lines to the system when it goes out of scope: at the end of a call of
// the host that may make reports, so a crash later in the same tick keeps them.
struct OutboxWrittenAtEnd {
    OutboxWrittenAtEnd() = default;
    ~OutboxWrittenAtEnd();
    OutboxWrittenAtEnd(const OutboxWrittenAtEnd&) = delete;
    OutboxWrittenAtEnd& operator=(const OutboxWrittenAtEnd&) = delete;
};

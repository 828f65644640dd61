// The deferred check queue: each creature that begins play is checked once, at the first game
// tick at or after one second later, in the order the creatures began play.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "host/EngineTypes.h"

namespace Tools {

class Timer {
public:
    struct Task {
        Task(std::function<void()> callback, int32_t delayMs);

        std::function<void()> callback;
        int64_t due;  // steady clock, nanoseconds
    };

    static constexpr int32_t CheckDelayMs = 1000;
    static constexpr const char* UpdateCallbackId = "TWD.HelperTimer.Update";

    // Registers the update callback; if that throws, no Timer exists.
    Timer();
    // Unregisters the update callback and drops the waiting tasks without running them.
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void Enqueue(void (*function)(TWeakObjectPtr<APrimalDinoCharacter>),
                 TWeakObjectPtr<APrimalDinoCharacter> weak);
    // Runs the due tasks; the host's float is not used.
    void Update(float);

    size_t WaitingCount();
    // Where the check at the head of the queue stopped (the key, if one, and the error) while it
    // keeps failing; empty otherwise.
    std::string HeadFailure();
    static int64_t Now();

private:
    struct Failure {
        std::string key;  // empty when no key read failed
        std::string error;
    };
    void ReportFailure(const std::string& error);

    std::mutex mutex;
    // Due times never decrease along the queue (one fixed delay on a monotonic clock), so the due
    // tasks are always a prefix.
    std::deque<std::shared_ptr<Task>> tasks;
    Failure lastReportedFailure;
};

}  // namespace Tools

// The one Timer, created at the first call and destroyed when the library unloads.
Tools::Timer& TheTimer();
// The Timer if a creature ever began play, else null; never creates it.
Tools::Timer* ExistingTimer();

#include "plugin/Timer.h"

#include <chrono>
#include <exception>

#include "audit/OnlinePlayers.h"
#include "audit/Outbox.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "host/AsaApi.h"
#include "host/GameClock.h"
#include "host/Refused.h"
#include "plugin/LoadProgress.h"

namespace Tools {

constexpr int64_t NanosecondsPerMillisecond = 1'000'000;

Timer::Task::Task(std::function<void()> taskCallback, int32_t delayMs)
    : callback(std::move(taskCallback)),
      due(Now() + static_cast<int64_t>(delayMs) * NanosecondsPerMillisecond) {}

int64_t Timer::Now() { return GameClock::now().time_since_epoch().count(); }

Timer::Timer() {
    AsaApi::GetCommands().RegisterUpdateCallback(FString(UpdateCallbackId),
                                                 [this](float delta) { Update(delta); });
}

// Runs at library unload, where nothing may escape.
Timer::~Timer() {
    std::string error;
    try {
        ThrowIfRefused(AsaApi::GetCommands().UnregisterUpdateCallback(FString(UpdateCallbackId)),
                       "ICommands::UnregisterUpdateCallback");
        return;
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    if (PluginLogger())
        PluginLogger()->critical("Failed to unregister {}, it stays registered! \n {}",
                                 UpdateCallbackId, error);
}

void Timer::Enqueue(void (*function)(TWeakObjectPtr<APrimalDinoCharacter>),
                    TWeakObjectPtr<APrimalDinoCharacter> weak) {
    std::lock_guard lock(mutex);
    tasks.push_back(std::make_shared<Task>([function, weak] { function(weak); }, CheckDelayMs));
}

size_t Timer::WaitingCount() {
    std::lock_guard lock(mutex);
    return tasks.size();
}

std::string Timer::HeadFailure() {
    std::lock_guard lock(mutex);
    return tasks.empty()
               ? std::string()
               : WhereCheckStopped(lastReportedFailure.key, "", lastReportedFailure.error);
}

void Timer::Update(float) {
    const int64_t now = Now();
    const OnlinePlayersCall oneCall;
    const OutboxWrittenAtEnd spooled;  // the reports of this run reach the system before it ends
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard lock(mutex);
            if (tasks.empty() || tasks.front()->due > now) return;
            task = tasks.front();
        }
        // A task added while this one runs is due a full delay later, so it waits for a later
        // tick; the head stays this task until it is removed below.
        try {
            ForgetFailedConfigKey();
            if (task->callback) task->callback();
        } catch (const std::exception& error) {
            ReportFailure(error.what());
            return;  // the failing task stays at the head and the tick ends here
        } catch (...) {
            ReportFailure("unknown error");
            return;
        }
        std::lock_guard lock(mutex);
        tasks.pop_front();
        lastReportedFailure = {};
    }
}

// A persistent failure stalls every tick; it is logged once, and again only when it changes or
// after the queue has moved. A key that stopped the check is named with its file, and what
// applies a fix.
void Timer::ReportFailure(const std::string& error) {
    const Failure failure{LastFailedConfigKey(), error};
    if (failure.key == lastReportedFailure.key && failure.error == lastReportedFailure.error)
        return;
    lastReportedFailure = failure;
    if (!PluginLogger()) return;
    const std::string where = WhereCheckStopped(failure.key, LastConfigFilePath(), error);
    PluginLogger()->critical("Deferred creature check failed, checks wait until it passes! \n {}{}",
                             where,
                             failure.key.empty() ? "" : "; " + std::string(HowToApplyAFix()));
}

}  // namespace Tools

namespace {
Tools::Timer* existingTimer = nullptr;
}

Tools::Timer& TheTimer() {
    static Tools::Timer timer;
    existingTimer = &timer;
    return timer;
}

Tools::Timer* ExistingTimer() { return existingTimer; }

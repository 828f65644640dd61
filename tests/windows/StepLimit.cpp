#include "tests/windows/StepLimit.h"

#include <cstdio>
#include <cstdlib>

StepLimit::StepLimit() : watcher(&StepLimit::Watch, this) {}

StepLimit::~StepLimit() {
    {
        std::lock_guard lock(mutex);
        ending = true;
    }
    changed.notify_all();
    watcher.join();
}

void StepLimit::Arm(const std::string& name, std::chrono::seconds limit) {
    std::lock_guard lock(mutex);
    currentStep = name;
    deadline = std::chrono::steady_clock::now() + limit;
    armed = true;
    changed.notify_all();
}

void StepLimit::Disarm() {
    std::lock_guard lock(mutex);
    armed = false;
    changed.notify_all();
}

void StepLimit::Watch() {
    std::unique_lock lock(mutex);
    while (!ending) {
        if (!armed) {
            changed.wait(lock);
            continue;
        }
        if (changed.wait_until(lock, deadline) == std::cv_status::timeout && armed &&
            std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "step \"%s\" overran its time limit: hung\n", currentStep.c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    }
}

// A time limit for each step of a test that could hang inside the loader: a step that overruns
// ends the whole process with its name, since a thread stuck under the loader lock cannot be
// interrupted.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class StepLimit {
public:
    StepLimit();
    ~StepLimit();
    StepLimit(const StepLimit&) = delete;
    StepLimit& operator=(const StepLimit&) = delete;

    // Runs `step`, ending the process if it takes longer than `limit`.
    template <typename Step>
    void Run(const std::string& name, std::chrono::seconds limit, Step step) {
        Arm(name, limit);
        step();
        Disarm();
    }

private:
    void Arm(const std::string& name, std::chrono::seconds limit);
    void Disarm();
    void Watch();

    std::mutex mutex;
    std::condition_variable changed;
    std::string currentStep;
    std::chrono::steady_clock::time_point deadline;
    bool armed = false;
    bool ending = false;
    std::thread watcher;
};

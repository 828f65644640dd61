// A program as a child process: its standard input, its merged output, signals, and an exit that
// is waited for with a time limit (a child still running at the end is killed).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ChildProcess {
public:
    using Duration = std::chrono::milliseconds;

    // Starts `program` (a path) with these arguments; throws if it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void WriteLine(const std::string& line);
    void CloseInput();
    void Signal(int signal);

    // Standard output and standard error as received so far.
    std::string Output();
    bool WaitForOutput(const std::string& text, Duration timeout);
    // True once the child and everything it started closed the output, so Output() is complete.
    bool WaitForOutputEnd(Duration timeout);
    // The exit code (or 128 + signal); empty when the child is still running after `timeout`.
    // Once it returns a code, Output() holds everything the child wrote.
    std::optional<int> WaitForExit(Duration timeout);
    bool Running();

private:
    void ReadOutput();

    pid_t pid = -1;
    int input = -1;
    int output = -1;
    std::optional<int> exitCode;
    std::mutex mutex;
    std::condition_variable changed;
    std::string received;
    bool outputEnded = false;
    std::thread reader;
};

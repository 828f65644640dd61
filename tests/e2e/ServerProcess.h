// The stand-in server as a child process: its standard input, its merged output, signals, and an
// exit that is waited for with a time limit (a server still running at the end is killed).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ServerProcess {
public:
    using Duration = std::chrono::milliseconds;

    // Starts the server binary with these arguments; throws if it cannot be started.
    explicit ServerProcess(const std::vector<std::string>& arguments);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    void WriteLine(const std::string& line);
    void CloseInput();
    void Signal(int signal);

    // Standard output and standard error as received so far.
    std::string Output();
    bool WaitForOutput(const std::string& text, Duration timeout);
    // The exit code (or 128 + signal); empty when the server is still running after `timeout`.
    // Once it returns a code, Output() holds everything the server wrote.
    std::optional<int> WaitForExit(Duration timeout);
    bool Running();
    // The port printed in a line "<what> listening on 127.0.0.1:PORT"; 0 if none within timeout.
    int ListeningPort(const std::string& what, Duration timeout);

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

#include "tests/e2e/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <stdexcept>

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
        throw std::runtime_error("cannot create pipes");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 2);
    std::vector<std::string> all = {program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : all) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int failed = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    input = toChild[1];
    output = fromChild[0];
    if (failed != 0) {
        ::close(input);
        ::close(output);
        throw std::runtime_error("cannot start " + all[0]);
    }
    reader = std::thread([this] { ReadOutput(); });
}

ChildProcess::~ChildProcess() {
    if (!WaitForExit(Duration(0))) {
        ::kill(pid, SIGKILL);
        WaitForExit(Duration(10000));
    }
    CloseInput();
    reader.join();
    ::close(output);
}

void ChildProcess::ReadOutput() {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(output, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        std::lock_guard lock(mutex);
        if (count <= 0) {
            outputEnded = true;
            changed.notify_all();
            return;
        }
        received.append(buffer, static_cast<size_t>(count));
        changed.notify_all();
    }
}

void ChildProcess::WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(input, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
        throw std::runtime_error("cannot write to the server's input");
}

void ChildProcess::CloseInput() {
    if (input >= 0) ::close(input);
    input = -1;
}

void ChildProcess::Signal(int signal) { ::kill(pid, signal); }

std::string ChildProcess::Output() {
    std::lock_guard lock(mutex);
    return received;
}

bool ChildProcess::WaitForOutput(const std::string& text, Duration timeout) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] {
        return received.find(text) != std::string::npos || outputEnded;
    }) && received.find(text) != std::string::npos;
}

bool ChildProcess::WaitForOutputEnd(Duration timeout) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return outputEnded; });
}

std::optional<int> ChildProcess::WaitForExit(Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!exitCode) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        std::this_thread::sleep_for(Duration(20));
    }
    // The child is gone, but its last output may still sit in the pipe: a caller that reads
    // Output() after the exit must see all of it, however far behind the reader thread is.
    WaitForOutputEnd(std::max(Duration(5000), std::chrono::duration_cast<Duration>(
                                                  deadline - std::chrono::steady_clock::now())));
    return exitCode;
}

bool ChildProcess::Running() { return !WaitForExit(Duration(0)); }

// Standard input as the server console: each line is handed over as it arrives, on a thread
// that notices a stop request within a fraction of a second.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace standin {

class ConsoleInput {
public:
    // `line` gets each line without its line end; `ended` is called once at the end of input.
    ConsoleInput(int descriptor, std::function<void(const std::string&)> line,
                 std::function<void()> ended);
    ~ConsoleInput();
    ConsoleInput(const ConsoleInput&) = delete;
    ConsoleInput& operator=(const ConsoleInput&) = delete;

    void Stop();

private:
    void Read();

    int descriptor;
    std::function<void(const std::string&)> line;
    std::function<void()> ended;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

}  // namespace standin

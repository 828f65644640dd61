// The stand-in server's command line.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace standin {

struct ServerOptions {
    std::string serverDir = ".";
    std::optional<std::string> worldFile;
    std::optional<double> seconds;  // unset: run until "quit" or the end of standard input
    double tickRate = 30;
    std::optional<int> rconPort;  // 0 picks a free port
    std::string rconPassword;
    std::optional<int> webhookListenPort;
    bool webhookUnlimited = false;  // the chat stand-in accepts every post at once
    std::optional<std::string> eventsFile;
    bool help = false;
};

class OptionsError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws OptionsError naming the option at fault.
ServerOptions ParseOptions(const std::vector<std::string>& arguments);
std::string UsageText(const std::string& program);

}  // namespace standin

// The stand-in dedicated server's entry: the command line, and the message when a start fails.
#include <csignal>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "standin/server/Options.h"
#include "standin/server/Server.h"

int main(int argc, char** argv) {
    // A peer that goes away must cost its connection, not the process.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string program = argc > 0 ? argv[0] : "standin-server";
    standin::ServerOptions options;
    try {
        options = standin::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const standin::OptionsError& error) {
        std::fprintf(stderr, "standin-server: %s\n", error.what());
        return 2;
    }
    if (options.help) {
        std::printf("%s", standin::UsageText(program).c_str());
        return 0;
    }
    try {
        return standin::RunServer(options);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "standin-server: %s\n", error.what());
        return 1;
    }
}

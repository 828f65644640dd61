// standin-server as a child process, and the ports it prints when its listeners are up.
#pragma once

#include "tests/e2e/ChildProcess.h"

class ServerProcess : public ChildProcess {
public:
    // Starts the built standin-server with these arguments; throws if it cannot be started.
    explicit ServerProcess(const std::vector<std::string>& arguments);

    // The port printed in a line "<what> listening on 127.0.0.1:PORT"; 0 if none within timeout.
    int ListeningPort(const std::string& what, Duration timeout);
};

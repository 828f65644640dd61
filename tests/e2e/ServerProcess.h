// standin-server as a child process, and the ports it prints when its listeners are up.
#pragma once

#include <memory>

#include "tests/e2e/ChildProcess.h"

class ServerFolder;

class ServerProcess : public ChildProcess {
public:
    // Starts the built standin-server with these arguments; throws if it cannot be started.
    explicit ServerProcess(const std::vector<std::string>& arguments);

    // The port printed in a line "<what> listening on 127.0.0.1:PORT"; 0 if none within timeout.
    int ListeningPort(const std::string& what, Duration timeout);
};

// How long a test waits for a server's output, answer or exit: only a failing run waits it out.
constexpr ChildProcess::Duration ServerWait = std::chrono::seconds(20);
// The RCON password of the servers StartWithRcon starts in the tests, and the reply to a reload
// that took.
constexpr const char* RconPassword = "tamewarden-test";
constexpr const char* Reloaded = "TameWarden: Reloaded config";

// standin-server on the folder's files with RCON on a free port behind `password`, and `extra`
// arguments; `port` gets the RCON port, 0 when it did not come up within the time limit.
std::unique_ptr<ServerProcess> StartWithRcon(const ServerFolder& folder,
                                             const std::string& password, int& port,
                                             const std::vector<std::string>& extra = {});

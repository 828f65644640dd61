#include "tests/e2e/ServerProcess.h"

#include "tests/e2e/ServerFolder.h"

ServerProcess::ServerProcess(const std::vector<std::string>& arguments)
    : ChildProcess(TAMEWARDEN_SERVER_PATH, arguments) {}

int ServerProcess::ListeningPort(const std::string& what, Duration timeout) {
    const std::string prefix = what + " listening on 127.0.0.1:";
    if (!WaitForOutput(prefix, timeout)) return 0;
    const std::string text = Output();
    return std::stoi(text.substr(text.find(prefix) + prefix.size()));
}

std::unique_ptr<ServerProcess> StartWithRcon(const ServerFolder& folder,
                                             const std::string& password, int& port,
                                             const std::vector<std::string>& extra) {
    std::vector<std::string> arguments = folder.Arguments();
    arguments.insert(arguments.end(), {"--rcon-port", "0", "--rcon-password", password});
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    auto server = std::make_unique<ServerProcess>(arguments);
    port = server->ListeningPort("RCON", std::chrono::seconds(20));
    return server;
}

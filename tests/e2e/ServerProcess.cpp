#include "tests/e2e/ServerProcess.h"

ServerProcess::ServerProcess(const std::vector<std::string>& arguments)
    : ChildProcess(TAMEWARDEN_SERVER_PATH, arguments) {}

int ServerProcess::ListeningPort(const std::string& what, Duration timeout) {
    const std::string prefix = what + " listening on 127.0.0.1:";
    if (!WaitForOutput(prefix, timeout)) return 0;
    const std::string text = Output();
    return std::stoi(text.substr(text.find(prefix) + prefix.size()));
}

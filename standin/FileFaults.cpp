// The host's answer to the plugin's file operations: none fails unless a test says so.
#include "host/SystemFiles.h"
#include "standin/Host.h"

int SimulatedFileError(std::string_view operation) {
    const auto& simulate = standin::Host::Get().simulatedFileError;
    return simulate ? simulate(operation) : 0;
}

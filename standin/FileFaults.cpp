// The host's answer to the plugin's file operations: none fails unless the fault loop or a test
// says so. The fault loop fails them like a full disk.
#include "host/SystemFiles.h"
#include "standin/Host.h"

int SimulatedFileError(std::string_view operation) {
    if (standin::faultLoopRunning)
        if (const int error = standin::HostFaults().EnterFile(
                "SystemFiles " + std::string(operation), __builtin_return_address(0)))
            return error;
    const auto& simulate = standin::Host::Get().simulatedFileError;
    return simulate ? simulate(operation) : 0;
}

uint64_t SimulatedRotationSize() { return standin::Host::Get().journalRotationBytes; }

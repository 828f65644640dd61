// For a host that never simulates a failing file operation, as the real one: every operation
// goes to the system.
#include "host/SystemFiles.h"

int SimulatedFileError(std::string_view) { return 0; }

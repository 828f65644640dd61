// The file path of the library that contains the caller, as the host identifies plugins.
#pragma once

#include "host/EngineTypes.h"

// At most 260 UTF-16 units, like the Windows module file name.
FString OwnModulePath();

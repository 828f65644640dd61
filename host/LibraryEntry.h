// The plugin's one entry, shaped like the Windows library entry: (instance, reason, reserved).
// Reason 1 is process attach, 0 process detach, 2 and 3 thread attach and detach.
#pragma once

#include <cstdint>

#define TAMEWARDEN_ENTRY extern "C" __attribute__((visibility("default")))

TAMEWARDEN_ENTRY int DllMain(void* instance, uint32_t reason, void* reserved);

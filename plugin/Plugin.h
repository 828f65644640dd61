// The plugin's lifecycle: load, the start-up sweep and unload.
#pragma once

#include "base/PluginName.h"

void PluginLoad();
// Never throws: a step that fails is logged and the next one is tried.
void PluginUnload();
// Checks every creature already in the world, at once, on this thread.
void StartupSweep();

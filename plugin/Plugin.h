// The plugin's lifecycle: load, the start-up sweep and unload.
#pragma once

#include "base/PluginName.h"

void PluginLoad();
// Never throws: a step that fails is logged and the next one is tried.
void PluginUnload();
// A good reload calls it: when the config stopped the load, the steps that did not run run now,
// in their order.
void FinishWaitingLoad();
// Checks every creature already in the world, at once, on this thread.
void StartupSweep();

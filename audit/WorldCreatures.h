// Every creature the world holds now, in the engine's order: what the start-up sweep checks and
// what a preview looks at.
#pragma once

#include <functional>

#include "host/EngineTypes.h"

// Calls `visit` with a weak reference to each creature; nothing when there is no world yet.
// Null entries and actors that are not creatures are skipped.
void ForEachCreatureInWorld(const std::function<void(TWeakObjectPtr<APrimalDinoCharacter>)>& visit);

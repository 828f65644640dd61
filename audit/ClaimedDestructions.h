// Creatures whose destruction was already claimed (the over-level log line and report) while the
// destroy call itself failed. A check that runs again for one of them, as a failed deferred check
// does at every tick, only tries the destroy again: nothing is claimed twice.
#pragma once

#include "host/EngineTypes.h"

bool DestructionClaimed(const FWeakObjectPtr& creature);
void NoteDestructionClaimed(const FWeakObjectPtr& creature);
void ForgetDestructionClaim(const FWeakObjectPtr& creature);

// Creatures a destroying rule left alive because their record could not be written ahead. They
// are checked again, from a host update callback every few seconds, until the journal takes a
// record again; a creature that is gone by then is forgotten, and the next load's sweep checks
// whatever an unload left held.
#pragma once

#include <cstddef>

#include "host/EngineTypes.h"

void HoldCreature(const TWeakObjectPtr<APrimalDinoCharacter>& creature) noexcept;
size_t HeldCreatureCount();
// At unload: forgets them and unregisters the callback.
void ForgetHeldCreatures() noexcept;

// The creature's position as message text.
#pragma once

#include "host/EngineTypes.h"

// "X=%3.3f Y=%3.3f Z=%3.3f" of the root component's relative location, never cut; a creature
// without a root component reads "unknown location".
FString LocationText(APrimalDinoCharacter* dino);

// The check of one creature: exemptions, the facts it reports, and the rules in their order.
#pragma once

#include "host/EngineTypes.h"

void CheckDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino);

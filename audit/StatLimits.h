// The stat-value limits, the last rule of a check: a coherent creature whose current value of a
// stat reaches its configured limit is destroyed and reported.
#pragma once

#include "audit/AuditCheck.h"

// Destroys and reports the creature at the first limit reached; true when one was.
bool CheckStatValueLimits(AuditCheck& check);

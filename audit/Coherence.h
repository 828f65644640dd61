// The coherence rule: a creature's level must be one plus the level-up points and mutations on
// the stats that count toward it.
#pragma once

#include "audit/AuditCheck.h"

// Reports, or destroys and reports, an incoherent creature; true when the creature was
// incoherent, which ends the check.
bool CheckIncoherentDino(AuditCheck& check);

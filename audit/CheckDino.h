// The check of one creature: exemptions, the facts it reports, and the rules in their order.
#pragma once

#include "audit/AuditEffects.h"
#include "base/ConfigSnapshotFwd.h"
#include "host/EngineTypes.h"

// Checks the creature against the configuration in force, with the server's effects.
void CheckDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino);

// The same check against any configuration, with any effects: a preview's or a dry run's.
void AuditCreature(TWeakObjectPtr<APrimalDinoCharacter> weakDino, const ConfigSnapshot& config,
                   AuditEffects& effects);

// One check of one creature: the creature, the configuration it is checked against, where its
// effects go, and what it knows so far. Every rule works on this.
#pragma once

#include "audit/AuditEffects.h"
#include "audit/AuditFacts.h"
#include "base/ConfigSnapshotFwd.h"
#include "host/EngineTypes.h"

struct AuditCheck {
    TWeakObjectPtr<APrimalDinoCharacter> weak;
    APrimalDinoCharacter* dino;
    UPrimalCharacterStatusComponent* status;
    const ConfigSnapshot& config;
    AuditEffects& effects;
    AuditFacts& facts;
};

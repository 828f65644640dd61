// The last stage of a check: the level-coherence test, then the per-stat value limits.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "audit/AuditEffects.h"
#include "audit/AuditFacts.h"

// Stats whose points do not count towards a creature's level: Torpidity, Water, Temperature,
// TemperatureFortitude.
inline constexpr std::array<int, 4> CoherenceExcludedStats{2, 5, 6, 10};

// Level equals one plus the level-up points and mutations on the counted stats.
bool IsLevelCoherent(UPrimalCharacterStatusComponent* status);

// The stat a "StatValueLimits" key names, with ASCII case ignored; none for an unknown key.
std::optional<int> StatIndexFromName(std::string_view key);

// Reports or destroys an incoherent creature; true when the creature was incoherent.
bool CheckIncoherentDino(AuditEffects& effects, APrimalDinoCharacter* dino,
                         UPrimalCharacterStatusComponent* status, const AuditFacts& facts);

// Destroys and reports the creature at the first limit reached; true when one was.
bool CheckStatValueLimits(AuditEffects& effects, APrimalDinoCharacter* dino,
                          UPrimalCharacterStatusComponent* status, const AuditFacts& facts);

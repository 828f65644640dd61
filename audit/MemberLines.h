// Who owns a creature: one line per tribe member, or one line for a single owner.
#pragma once

#include <cstdint>

#include "audit/AuditEffects.h"
#include "host/EngineTypes.h"

// Team ids above this are tribes; any other team id is the data id of a single player.
inline constexpr int32_t FirstTribeId = 1000050001;

// The size of the game's tribe record, found once per process; 0 when the game has no such type.
int32_t TribeRecordSize();

// The EOS id of a player: from the game mode, else from an online controller (which is then
// handed to the game mode through `effects`); empty when neither knows it or the id is 0.
FString EosIdForPlayer(int32_t playerId, AuditEffects& effects);

// The owner lines of a team, in tribe order.
TArray<FString> TribeMemberLines(int32_t team, AuditEffects& effects);

// The lines joined with one line feed between consecutive lines.
FString JoinLines(const TArray<FString>& lines);

// Who owns a creature: one line per tribe member, or one line for a single owner.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audit/AuditEffects.h"
#include "host/EngineTypes.h"

// One owner as the lines name it, in UTF-8: the player id when the game gave one.
struct Owner {
    std::string name;
    std::optional<int32_t> playerId;
    std::string eosId;
};

// The owner lines of a team, in tribe order, as UTF-8, and the same owners in `owners`. The EOS
// id of a member comes from the game mode, else from an online controller, which is then handed
// to the game mode through `effects`. The lines stay 8-bit text: the host reads 8-bit text as
// UTF-8, so a round trip through engine strings would give back the same bytes, at the cost of
// an engine string per line.
std::vector<std::string> TribeMemberLines(int32_t team, AuditEffects& effects,
                                          std::vector<Owner>& owners);

// What building the owner lines teaches the game mode, without the lines: the tribe lookup once
// and the EOS id lookup of each member with a player id, or of the single owner.
void LearnOwnerIds(int32_t team, AuditEffects& effects);

// The lines joined with one line feed between consecutive lines.
std::string JoinLines(const std::vector<std::string>& lines);

// Which player ids belong to a player online now. Players join and leave only between the host's
// calls into the plugin, so one index, made at the first question, serves every check of a call.
#pragma once

#include <cstdint>

// Marks a call of the host into the plugin that runs checks (the start-up sweep, a tick of the
// deferred queue, a preview), or one check made outside such a call. Marks nest: the index lives
// until the outermost ends. Outside any mark every question walks the players afresh.
class OnlinePlayersCall {
public:
    OnlinePlayersCall();
    ~OnlinePlayersCall();
    OnlinePlayersCall(const OnlinePlayersCall&) = delete;
    OnlinePlayersCall& operator=(const OnlinePlayersCall&) = delete;
};

// True when an online player's linked id is `playerId` widened with its sign, the id the EOS id
// lookup finds a player by.
bool IsOnlinePlayerId(int32_t playerId);

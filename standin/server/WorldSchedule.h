// The world file's timed events: creatures that begin play after load, creatures that are
// removed and players who log off, each at its second after the plugin loaded.
#pragma once

#include <functional>
#include <vector>

#include "standin/WorldFile.h"

namespace standin {

class WorldSchedule {
public:
    explicit WorldSchedule(const WorldDescription& file);

    // Carries out, on the game thread, every action due at `secondsSinceLoad`, in time order;
    // at equal times a creature begins play before it is removed, and players log off last.
    void Advance(World& world, double secondsSinceLoad);
    bool Finished() const { return next == actions.size(); }

private:
    enum class Kind { BeginPlay, Removal, LogOff };
    struct Action {
        double at;
        Kind kind;
        DinoSpec details;      // of the creature that begins play or is removed
        int32_t playerId = 0;  // of the player who logs off
    };

    std::vector<Action> actions;
    size_t next = 0;
};

}  // namespace standin

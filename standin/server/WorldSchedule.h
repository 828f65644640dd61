// The world file's timed events: creatures that begin play after load and creatures that are
// removed, each at its second after the plugin loaded.
#pragma once

#include <functional>
#include <vector>

#include "standin/WorldFile.h"

namespace standin {

class WorldSchedule {
public:
    explicit WorldSchedule(const WorldDescription& file);

    // Carries out, on the game thread, every action due at `secondsSinceLoad`, in time order;
    // at equal times a creature begins play before it is removed.
    void Advance(World& world, double secondsSinceLoad);
    bool Finished() const { return next == actions.size(); }

private:
    struct Action {
        double at;
        bool spawn;  // else: removal
        DinoSpec details;
    };

    std::vector<Action> actions;
    size_t next = 0;
};

}  // namespace standin

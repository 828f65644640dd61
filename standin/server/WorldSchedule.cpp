#include "standin/server/WorldSchedule.h"

#include <algorithm>

#include "standin/Host.h"

namespace standin {

WorldSchedule::WorldSchedule(const WorldDescription& file) {
    for (const ScheduledDino& creature : file.creatures) {
        if (creature.beginPlayAt)
            actions.push_back({*creature.beginPlayAt, true, creature.details});
        if (creature.destroyAt) actions.push_back({*creature.destroyAt, false, creature.details});
    }
    std::stable_sort(actions.begin(), actions.end(), [](const Action& left, const Action& right) {
        if (left.at != right.at) return left.at < right.at;
        return left.spawn && !right.spawn;
    });
}

void WorldSchedule::Advance(World& world, double secondsSinceLoad) {
    for (; next < actions.size() && actions[next].at <= secondsSinceLoad; ++next) {
        const Action& action = actions[next];
        if (action.spawn) {
            world.SpawnDino(action.details);
            continue;
        }
        // The plugin may have destroyed it already; then there is nothing left to remove.
        if (APrimalDinoCharacter* dino = world.FindDino(action.details.key)) {
            Host::Get().events.Record({{"type", "despawn"}, {"creature", action.details.key}});
            world.Destroy(dino);
        }
    }
}

}  // namespace standin

#include "standin/server/WorldSchedule.h"

#include <algorithm>

#include "standin/Host.h"

namespace standin {

WorldSchedule::WorldSchedule(const WorldDescription& file) {
    for (const ScheduledDino& creature : file.creatures) {
        if (creature.beginPlayAt)
            actions.push_back({*creature.beginPlayAt, Kind::BeginPlay, creature.details});
        if (creature.destroyAt)
            actions.push_back({*creature.destroyAt, Kind::Removal, creature.details});
    }
    for (const PlayerSpec& player : file.players)
        if (player.offlineAt) actions.push_back({*player.offlineAt, Kind::LogOff, {}, player.id});
    std::stable_sort(actions.begin(), actions.end(), [](const Action& left, const Action& right) {
        if (left.at != right.at) return left.at < right.at;
        return left.kind < right.kind;
    });
}

void WorldSchedule::Advance(World& world, double secondsSinceLoad) {
    for (; next < actions.size() && actions[next].at <= secondsSinceLoad; ++next) {
        const Action& action = actions[next];
        switch (action.kind) {
            case Kind::BeginPlay:
                world.SpawnDino(action.details);
                break;
            case Kind::Removal:
                // The plugin may have destroyed it already; then there is nothing left to remove.
                if (APrimalDinoCharacter* dino = world.FindDino(action.details.key)) {
                    Host::Get().events.Record(
                        {{"type", "despawn"}, {"creature", action.details.key}});
                    world.Destroy(dino);
                }
                break;
            case Kind::LogOff:
                world.LogOff(action.playerId);
                break;
        }
    }
}

}  // namespace standin

#include "bench/BenchHost.h"

#include <stdexcept>
#include <string>

#include "base/Config.h"
#include "base/Logger.h"
#include "host/Game.h"
#include "plugin/Plugin.h"
#include "standin/Host.h"
#include "standin/WorldGenerator.h"

namespace {

TWeakObjectPtr<APrimalDinoCharacter> FirstCreatureOfTeam(bool (*wanted)(int32_t team)) {
    for (AActor* actor : standin::Host::Get().world->Actors()) {
        auto* dino = static_cast<APrimalDinoCharacter*>(actor);
        if (wanted(dino->TargetingTeam)) return Game::MakeWeak(dino);
    }
    throw std::logic_error("the generated world has no such creature");
}

}  // namespace

standin::World& InstallGeneratedWorld(size_t creatureCount) {
    standin::Host& host = standin::Host::Get();
    host.world.reset();  // the old world's objects leave the table before the new one's enter
    host.world = standin::BuildWorld(standin::GenerateWorld(creatureCount));
    return *host.world;
}

void PrepareInProcessPlugin() {
    PluginName = "TameWarden";
    InitLogger(PluginLogger());
    SetConfig(nlohmann::json::object());
    standin::Host::Get().sendRequests = false;
}

void UseConfig(const nlohmann::json& document) { SetConfig(document); }

void ForgetHostEvents() { standin::Host::Get().events.Clear(); }

TWeakObjectPtr<APrimalDinoCharacter> FirstWildCreature() {
    return FirstCreatureOfTeam([](int32_t team) { return team <= Game::LastWildTeam; });
}

TWeakObjectPtr<APrimalDinoCharacter> AddTribeCreature(standin::World& world) {
    static int added = 0;
    standin::DinoSpec creature;
    creature.key = "bench-" + std::to_string(++added);
    creature.name = u"Rex";
    creature.team = Game::FirstTribeId;
    creature.level = 200;
    creature.location = {1520.0, -33.25, 0.125};
    return Game::MakeWeak(world.AddDino(creature));
}

TWeakObjectPtr<APrimalDinoCharacter> FirstCreatureOfLargestTribe() {
    // The generator gives its first tribe the most members.
    return FirstCreatureOfTeam([](int32_t team) { return team == Game::FirstTribeId; });
}

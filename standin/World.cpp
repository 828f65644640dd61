#include "standin/World.h"

#include <algorithm>

#include "standin/Host.h"
#include "standin/Text.h"

namespace standin {
namespace {

void DeleteActor(AActor* actor) {
    if (actor->ClassPrivate == &Host::Get().classes.dino) {
        auto* dino = static_cast<APrimalDinoCharacter*>(actor);
        delete dino->StatusComponent;
        delete dino->RootComponent;
        delete dino;
    } else {
        delete actor->RootComponent;
        delete actor;
    }
}

}  // namespace

std::array<uint8_t, Game::StatCount> CoherentPoints(int32_t level) {
    std::array<uint8_t, Game::StatCount> points{};
    int32_t left = level - 1;
    for (size_t stat = 0; stat < Game::Stats.size(); ++stat) {
        if (!Game::Stats[stat].countsTowardLevel) continue;
        points[stat] = static_cast<uint8_t>(std::clamp(left, 0, 255));
        left -= points[stat];
    }
    return points;
}

World::World(std::u16string mapName) {
    Track(&engineWorld, &Host::Get().classes.object);
    Track(&gameMode, &Host::Get().classes.actor);
    gameMode.MapName = FromUtf16(mapName);
}

World::~World() {
    for (AActor* actor : actors) {
        Untrack(actor);
        DeleteActor(actor);
    }
    for (auto& player : players) Untrack(player.get());
    Untrack(&gameMode);
    Untrack(&engineWorld);
}

void World::Track(UObject* object, UClass* objectClass) {
    object->ClassPrivate = objectClass;
    Host::Get().objects.Add(object);
}

void World::Untrack(UObject* object) { Host::Get().objects.Remove(object); }

APrimalDinoCharacter* World::AddDino(const DinoSpec& details) {
    auto* dino = new APrimalDinoCharacter();
    dino->Key = details.key;
    dino->TargetingTeam = details.team;
    dino->DescriptiveName = FromUtf16(details.name);
    dino->IsBoss = details.boss;
    dino->IsMission = details.mission;
    dino->RootComponent = new USceneComponent();
    dino->RootComponent->RelativeLocation = details.location;
    if (details.statusComponent) {
        auto* status = new UPrimalCharacterStatusComponent();
        status->Level = details.level;
        status->NumberOfLevelUpPointsApplied = details.levelUpPoints;
        status->NumberOfLevelUpPointsAppliedTamed = details.levelUpPointsTamed;
        status->NumberOfMutationsAppliedTamed = details.mutationsTamed;
        status->CurrentStatusValues = details.currentStatus;
        dino->StatusComponent = status;
    }
    Track(dino, &Host::Get().classes.dino);
    actors.push_back(dino);
    return dino;
}

APrimalDinoCharacter* World::SpawnDino(const DinoSpec& details) {
    APrimalDinoCharacter* dino = AddDino(details);
    auto* beginPlay =
        reinterpret_cast<Game::BeginPlayFunction*>(Host::Get().hooks.Entry(Game::BeginPlayName));
    beginPlay(dino);
    return dino;
}

AActor* World::AddOtherActor(const std::string& key) {
    auto* actor = new AActor();
    actor->Key = key;
    actor->RootComponent = new USceneComponent();
    Track(actor, &Host::Get().classes.actor);
    actors.push_back(actor);
    return actor;
}

void World::AddPlayer(const PlayerSpec& details) {
    if (details.knownToGameMode) gameMode.EosIdsByPlayerId[details.id] = FromUtf16(details.eosId);
    if (!details.online) return;
    auto controller = std::make_unique<AShooterPlayerController>();
    controller->LinkedPlayerID = static_cast<uint64_t>(static_cast<int64_t>(details.id));
    controller->EosId = FromUtf16(details.eosId);
    controller->CharacterName = FromUtf16(details.characterName);
    Track(controller.get(), &Host::Get().classes.playerController);
    TWeakObjectPtr<APlayerController> weak;
    Host::Get().objects.SetWeak(weak, controller.get());
    engineWorld.PlayerControllerList.Add(weak);
    players.push_back(std::move(controller));
}

void World::LogOff(int32_t playerId) {
    const auto linkedId = static_cast<uint64_t>(static_cast<int64_t>(playerId));
    const auto found = std::find_if(players.begin(), players.end(), [&](const auto& player) {
        return player.get() != admin && player->LinkedPlayerID == linkedId;
    });
    if (found == players.end()) return;
    TArray<TWeakObjectPtr<APlayerController>> remaining;
    for (const auto& weak : engineWorld.PlayerControllerList)
        if (weak.Get() != found->get()) remaining.Add(weak);
    engineWorld.PlayerControllerList = std::move(remaining);
    Untrack(found->get());
    players.erase(found);
    Host::Get().events.Record({{"type", "loggedOff"}, {"playerId", playerId}});
}

void World::AddTribe(const TribeSpec& details) {
    tribeIndexById.emplace(details.id, tribes.size());
    tribes.push_back(details);
}

AShooterPlayerController* World::AdminPlayer() {
    if (admin == nullptr) {
        AddPlayer({.id = 0, .eosId = u"admin", .characterName = u"Admin", .online = true});
        admin = players.back().get();
    }
    return admin;
}

void World::Destroy(AActor* actor) {
    const auto found = std::find(actors.begin(), actors.end(), actor);
    if (found == actors.end()) return;
    actors.erase(found);
    Host::Get().events.Record({{"type", "destroyed"}, {"creature", actor->Key}});
    Untrack(actor);
    DeleteActor(actor);
}

APrimalDinoCharacter* World::FindDino(const std::string& key) const {
    for (AActor* actor : actors)
        if (actor->Key == key && actor->ClassPrivate == &Host::Get().classes.dino)
            return static_cast<APrimalDinoCharacter*>(actor);
    return nullptr;
}

std::vector<std::string> World::DinoKeys() const {
    std::vector<std::string> keys;
    for (AActor* actor : actors)
        if (actor->ClassPrivate == &Host::Get().classes.dino) keys.push_back(actor->Key);
    return keys;
}

std::vector<AShooterPlayerController*> World::OnlinePlayers() const {
    std::vector<AShooterPlayerController*> online;
    for (const auto& player : players) online.push_back(player.get());
    return online;
}

const TribeSpec* World::FindTribe(int32_t id) const {
    const auto found = tribeIndexById.find(id);
    return found != tribeIndexById.end() ? &tribes[found->second] : nullptr;
}

}  // namespace standin

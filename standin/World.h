// A world of the stand-in game: creatures and other actors in the engine's order, players, tribes
// and the game mode. Tests build worlds in code; the server builds them from world files.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "standin/Engine.h"

namespace standin {

struct DinoSpec {
    std::string key;
    std::u16string name = u"Dodo";
    int32_t team = 0;
    int32_t level = 1;
    bool boss = false;
    bool mission = false;
    FVector location;
    bool statusComponent = true;
    std::array<uint8_t, Game::StatCount> levelUpPoints{};
    std::array<uint8_t, Game::StatCount> levelUpPointsTamed{};
    std::array<uint8_t, Game::StatCount> mutationsTamed{};
    std::array<float, Game::StatCount> currentStatus{};
};

struct PlayerSpec {
    int32_t id = 0;
    std::u16string eosId;
    std::u16string characterName;
    bool online = false;
    bool knownToGameMode = false;
    std::optional<double> offlineAt =
        std::nullopt;  // world files: seconds after load when the player logs off
};

struct TribeSpec {
    int32_t id = 0;
    std::vector<std::u16string> memberNames;
    std::vector<uint32_t> memberIds;  // may be shorter than the names
};

// Level-up points on the stats that count toward the level, at most 255 on each, that make a
// creature of this level coherent.
std::array<uint8_t, Game::StatCount> CoherentPoints(int32_t level);

class World {
public:
    explicit World(std::u16string mapName = u"TheIsland_WP");
    ~World();
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // A creature already in the world; it does not begin play.
    APrimalDinoCharacter* AddDino(const DinoSpec& details);
    // A creature that appears now and begins play through the hookable BeginPlay.
    APrimalDinoCharacter* SpawnDino(const DinoSpec& details);
    // An actor of another class, to prove that class tests hold.
    AActor* AddOtherActor(const std::string& key);
    void AddPlayer(const PlayerSpec& details);
    void AddTribe(const TribeSpec& details);
    // The player that runs console commands: online, known to the game mode.
    AShooterPlayerController* AdminPlayer();
    // The player logs off: no longer in the player controller list, weak references resolve to
    // null. What the game mode learned of the player stays.
    void LogOff(int32_t playerId);

    // Removes the actor as the game does: weak references to it resolve to null afterwards.
    void Destroy(AActor* actor);

    APrimalDinoCharacter* FindDino(const std::string& key) const;
    std::vector<std::string> DinoKeys() const;
    const std::vector<AActor*>& Actors() const { return actors; }
    std::vector<AShooterPlayerController*> OnlinePlayers() const;
    const TribeSpec* FindTribe(int32_t id) const;
    UWorld* EngineWorld() { return &engineWorld; }
    AShooterGameMode* GameMode() { return &gameMode; }

    // When set, actor queries hand out every actor and a null entry, as a stale engine list may.
    bool unfilteredActorQueries = false;

private:
    void Track(UObject* object, UClass* objectClass);
    void Untrack(UObject* object);

    UWorld engineWorld;
    AShooterGameMode gameMode;
    std::vector<AActor*> actors;  // owned, in the engine's order
    std::vector<std::unique_ptr<AShooterPlayerController>> players;
    std::vector<TribeSpec> tribes;
    // Where each tribe id first appears in `tribes`: a large server has thousands of tribes and
    // the audit asks for one at every check of a tribe's creature.
    std::unordered_map<int32_t, size_t> tribeIndexById;
    AShooterPlayerController* admin = nullptr;
};

}  // namespace standin

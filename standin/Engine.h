// The game's objects as this stand-in lays them out. The plugin reaches their members only by
// name through the registry, so these layouts are the stand-in's own business.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>

#include "host/EngineTypes.h"
#include "host/Game.h"

class UObject {
public:
    UClass* ClassPrivate = nullptr;
    int32_t InternalIndex = -1;
};

class UStruct : public UObject {
public:
    UStruct* SuperStruct = nullptr;
    FString Name;
    int32_t PropertiesSize = 0;
};

class UClass : public UStruct {};

class USceneComponent : public UObject {
public:
    FVector RelativeLocation;
};

class UPrimalCharacterStatusComponent : public UObject {
public:
    int32_t Level = 1;
    std::array<uint8_t, Game::StatCount> NumberOfLevelUpPointsApplied{};
    std::array<uint8_t, Game::StatCount> NumberOfLevelUpPointsAppliedTamed{};
    std::array<uint8_t, Game::StatCount> NumberOfMutationsAppliedTamed{};
    std::array<float, Game::StatCount> CurrentStatusValues{};
};

class AActor : public UObject {
public:
    USceneComponent* RootComponent = nullptr;
    int32_t TargetingTeam = 0;
    std::string Key;  // the stand-in's name for the actor in events and world files
};

class APrimalCharacter : public AActor {
public:
    FString DescriptiveName;
    UPrimalCharacterStatusComponent* StatusComponent = nullptr;
};

class APrimalDinoCharacter : public APrimalCharacter {
public:
    bool IsBoss = false;
    bool IsMission = false;
};

class APlayerController : public AActor {
public:
    uint64_t LinkedPlayerID = 0;
    FString EosId;
    FString CharacterName;
};

class AShooterPlayerController : public APlayerController {};

class UWorld : public UObject {
public:
    TArray<TWeakObjectPtr<APlayerController>> PlayerControllerList;
};

class AShooterGameMode : public AActor {
public:
    FString MapName;
    std::unordered_map<int32_t, FString> EosIdsByPlayerId;
};

struct FTribeData {
    int32_t TribeID = 0;
    TArray<FString> MembersPlayerName;
    TArray<uint32_t> MembersPlayerDataID;
};

class RCONClientConnection {
public:
    virtual ~RCONClientConnection() = default;
    // Delivers one response packet to the client.
    virtual void Send(int32_t requestId, int32_t type, const std::string& body) = 0;
};

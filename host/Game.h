// Typed helpers over the game's functions and fields, each reached by its class-and-member name
// at every use. The names here are the whole of what the plugin asks of the game.
#pragma once

#include <cstdint>

#include "host/EngineTypes.h"
#include "host/GameFacts.h"
#include "host/GetAddress.h"

struct FVector {
    double X = 0, Y = 0, Z = 0;
};

namespace Game {

template <typename T>
UObject* AsObject(T* object) {
    return reinterpret_cast<UObject*>(object);
}

// Creatures

inline constexpr const char* BeginPlayName = "APrimalDinoCharacter.BeginPlay()";
using BeginPlayFunction = void(APrimalDinoCharacter*);

inline UClass* DinoClass() {
    return GameFunction<UClass*()>("APrimalDinoCharacter.GetPrivateStaticClass()")();
}
inline bool IsMissionDino(APrimalDinoCharacter* dino) {
    return GameFunction<bool(APrimalDinoCharacter*)>("APrimalDinoCharacter.IsMissionDino()")(dino);
}
inline bool IsBossDino(APrimalDinoCharacter* dino) {
    return GameFunction<bool(APrimalDinoCharacter*)>("APrimalDinoCharacter.IsBossDino()")(dino);
}
using DestroyFunction = bool(APrimalDinoCharacter*, bool, bool);
// The game's destroy, looked up apart from its call: a rule looks it up before its first effect,
// so that a lookup that fails claims nothing.
inline DestroyFunction* FindDestroy() {
    return GameFunction<DestroyFunction>("APrimalDinoCharacter.Destroy(bool,bool)");
}
// The game's answer: false when it did not destroy the creature.
inline bool Destroy(DestroyFunction* destroy, APrimalDinoCharacter* dino) {
    return destroy(dino, false, false);
}
inline bool Destroy(APrimalDinoCharacter* dino) { return Destroy(FindDestroy(), dino); }
inline int32_t TargetingTeam(APrimalDinoCharacter* dino) {
    return GameField<int32_t>(dino, "UPrimalActor.TargetingTeam");
}
inline const FString& DescriptiveName(APrimalDinoCharacter* dino) {
    return GameField<FString>(dino, "APrimalCharacter.DescriptiveName");
}
inline UPrimalCharacterStatusComponent* StatusComponent(APrimalDinoCharacter* dino) {
    return GameFunction<UPrimalCharacterStatusComponent*(APrimalDinoCharacter*)>(
        "APrimalCharacter.GetCharacterStatusComponent()")(dino);
}
inline USceneComponent* RootComponent(AActor* actor) {
    return GameField<USceneComponent*>(actor, "AActor.RootComponent");
}
inline const FVector& RelativeLocation(USceneComponent* component) {
    return GameField<FVector>(component, "USceneComponent.RelativeLocation");
}

// Status component

inline int32_t CharacterLevel(UPrimalCharacterStatusComponent* status) {
    return GameFunction<int32_t(UPrimalCharacterStatusComponent*)>(
        "UPrimalCharacterStatusComponent.GetCharacterLevel()")(status);
}
inline const uint8_t* LevelUpPointsApplied(UPrimalCharacterStatusComponent* status) {
    return &GameField<uint8_t>(status,
                               "UPrimalCharacterStatusComponent.NumberOfLevelUpPointsApplied");
}
inline const uint8_t* LevelUpPointsAppliedTamed(UPrimalCharacterStatusComponent* status) {
    return &GameField<uint8_t>(status,
                               "UPrimalCharacterStatusComponent.NumberOfLevelUpPointsAppliedTamed");
}
inline const uint8_t* MutationsAppliedTamed(UPrimalCharacterStatusComponent* status) {
    return &GameField<uint8_t>(status,
                               "UPrimalCharacterStatusComponent.NumberOfMutationsAppliedTamed");
}
inline const float* CurrentStatusValues(UPrimalCharacterStatusComponent* status) {
    return &GameField<float>(status, "UPrimalCharacterStatusComponent.CurrentStatusValues");
}

// Objects, classes and weak references

inline UClass* ClassOf(UObject* object) {
    return GameField<UClass*>(object, "UObjectBase.ClassPrivate");
}
inline bool IsChildOf(UClass* candidate, UClass* base) {
    return GameFunction<bool(UStruct*, UStruct*)>("UStruct.IsChildOf(UStruct*)")(
        reinterpret_cast<UStruct*>(candidate), reinterpret_cast<UStruct*>(base));
}
inline UObject* StaticFindObject(UClass* objectClass, UObject* outer, const TCHAR* name,
                                 bool exactClass) {
    return GameFunction<UObject*(UClass*, UObject*, const TCHAR*, bool)>(
        "Global.StaticFindObject(UClass*,UObject*,wchar_t*,bool)")(objectClass, outer, name,
                                                                   exactClass);
}
inline int32_t PropertiesSize(UObject* structObject) {
    return GameField<int32_t>(structObject, "UStruct.PropertiesSize");
}
inline void AllActorsOfClass(UWorld* world, UClass* actorClass, TArray<AActor*>& actors) {
    GameFunction<void(UObject*, UClass*, TArray<AActor*>&)>(
        "UGameplayStatics.GetAllActorsOfClass(UObject*,TSubclassOf<AActor>,TArray<AActor*,"
        "TSizedDefaultAllocator<32>>&)")(AsObject(world), actorClass, actors);
}

template <typename T>
TWeakObjectPtr<T> MakeWeak(T* object) {
    TWeakObjectPtr<T> weak;
    GameFunction<void(FWeakObjectPtr*, UObject*)>("FWeakObjectPtr.operator=(UObject*)")(
        &weak, AsObject(object));
    return weak;
}
inline UObject* Resolve(const FWeakObjectPtr& weak) {
    return GameFunction<UObject*(const FWeakObjectPtr*, bool)>("FWeakObjectPtr.Get()")(&weak,
                                                                                       false);
}

// Game mode, world and players

inline FString MapName(AShooterGameMode* gameMode) {
    return GameFunction<FString(AShooterGameMode*)>("AShooterGameMode.GetMapName()")(gameMode);
}
inline FString SteamIdStringForPlayerId(AShooterGameMode* gameMode, int32_t playerId) {
    return GameFunction<FString(AShooterGameMode*, int32_t)>(
        "AShooterGameMode.GetSteamIDStringForPlayerID(int)")(gameMode, playerId);
}
inline void AddPlayerId(AShooterGameMode* gameMode, int32_t playerId, const FString& eosId) {
    GameFunction<void(AShooterGameMode*, int32_t, const FString&, bool)>(
        "AShooterGameMode.AddPlayerID(int,FString,bool)")(gameMode, playerId, eosId, false);
}
inline void GetOrLoadTribeData(AShooterGameMode* gameMode, int32_t tribeId, FTribeData* record) {
    GameFunction<FTribeData*(AShooterGameMode*, int32_t, FTribeData*, int32_t)>(
        "AShooterGameMode.GetOrLoadTribeData(int,FTribeData&,ETribeDataExclude)")(gameMode, tribeId,
                                                                                  record, 0);
}
inline TArray<TWeakObjectPtr<APlayerController>>& PlayerControllerList(UWorld* world) {
    return GameField<TArray<TWeakObjectPtr<APlayerController>>>(world,
                                                                "UWorld.PlayerControllerList");
}
inline uint64_t LinkedPlayerId(APlayerController* controller) {
    return GameField<uint64_t>(controller, "AShooterPlayerController.LinkedPlayerID");
}
inline FString UniqueNetIdAsString(APlayerController* controller) {
    return GameFunction<FString(APlayerController*)>(
        "AShooterPlayerController.GetUniqueNetIdAsString()")(controller);
}
inline FString PlayerCharacterName(AShooterPlayerController* controller) {
    return GameFunction<FString(AShooterPlayerController*)>(
        "AShooterPlayerController.GetPlayerCharacterName()")(controller);
}

// Tribe record fields
inline int32_t& TribeId(FTribeData* record) {
    return GameField<int32_t>(record, "FTribeData.TribeID");
}
inline TArray<FString>& MembersPlayerName(FTribeData* record) {
    return GameField<TArray<FString>>(record, "FTribeData.MembersPlayerName");
}
inline TArray<uint32_t>& MembersPlayerDataId(FTribeData* record) {
    return GameField<TArray<uint32_t>>(record, "FTribeData.MembersPlayerDataID");
}

// RCON
inline void SendRconMessage(RCONClientConnection* connection, int32_t requestId, FString& text) {
    GameFunction<void(RCONClientConnection*, int32_t, int32_t, FString&)>(
        "RCONClientConnection.SendMessage(int,int,FString&)")(connection, requestId, 0, text);
}

}  // namespace Game

template <typename T>
T* TWeakObjectPtr<T>::Get() const {
    return reinterpret_cast<T*>(Game::Resolve(*this));
}

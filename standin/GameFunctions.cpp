// The game's functions and fields as this stand-in offers them, registered under the names the
// plugin looks up. Functions take their object first.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "standin/Host.h"
#include "standin/Registry.h"
#include "standin/Text.h"

namespace standin {
namespace {

World& CurrentWorld() { return *Host::Get().world; }

// The engine allocator

void* Malloc(uint64_t size, uint32_t) { return std::malloc(size != 0 ? size : 1); }
void* Realloc(void* block, uint64_t size, uint32_t) {
    return std::realloc(block, size != 0 ? size : 1);
}
void Free(void* block) { std::free(block); }

// Creatures

void BeginPlay(APrimalDinoCharacter* dino) {
    Host::Get().events.Record({{"type", "beginPlay"}, {"creature", dino->Key}});
}
UClass* DinoStaticClass() { return &Host::Get().classes.dino; }
bool IsMissionDino(APrimalDinoCharacter* dino) { return dino->IsMission; }
bool IsBossDino(APrimalDinoCharacter* dino) { return dino->IsBoss; }
bool DestroyDino(APrimalDinoCharacter* dino, bool, bool) {
    CurrentWorld().Destroy(dino);
    return true;
}
UPrimalCharacterStatusComponent* StatusComponent(APrimalDinoCharacter* dino) {
    return dino->StatusComponent;
}
int32_t CharacterLevel(UPrimalCharacterStatusComponent* status) { return status->Level; }

// Objects and classes

bool IsChildOf(UStruct* candidate, UStruct* base) {
    for (UStruct* type = candidate; type != nullptr; type = type->SuperStruct)
        if (type == base) return true;
    return false;
}

UObject* StaticFindObject(UClass* objectClass, UObject*, const TCHAR* name, bool) {
    EngineClasses& classes = Host::Get().classes;
    for (UStruct* type : {static_cast<UStruct*>(&classes.scriptStruct),
                          static_cast<UStruct*>(&classes.tribeData)}) {
        const bool classMatches = objectClass == nullptr || type->ClassPrivate == objectClass;
        if (classMatches && type->Name.View() == EngineTextView(name)) return type;
    }
    return nullptr;
}

void AllActorsOfClass(UObject*, UClass* actorClass, TArray<AActor*>& actors) {
    World& world = CurrentWorld();
    if (world.unfilteredActorQueries) actors.Add(nullptr);
    for (AActor* actor : world.Actors())
        if (world.unfilteredActorQueries || IsChildOf(actor->ClassPrivate, actorClass))
            actors.Add(actor);
}

void SetWeak(FWeakObjectPtr* weak, UObject* object) { Host::Get().objects.SetWeak(*weak, object); }
UObject* ResolveWeak(const FWeakObjectPtr* weak, bool) {
    Host& host = Host::Get();
    host.ThrowIfFaulty("FWeakObjectPtr.Get()");
    UObject* object = host.objects.Resolve(*weak);
    if (host.recordResolutions && object != nullptr && object->ClassPrivate == &host.classes.dino)
        host.events.Record({{"type", "resolved"}, {"creature", static_cast<AActor*>(object)->Key}});
    return object;
}

// Game mode and players

FString MapName(AShooterGameMode* gameMode) { return gameMode->MapName; }

FString SteamIdStringForPlayerId(AShooterGameMode* gameMode, int32_t playerId) {
    const auto found = gameMode->EosIdsByPlayerId.find(playerId);
    return found != gameMode->EosIdsByPlayerId.end() ? found->second : FString();
}

void AddPlayerId(AShooterGameMode* gameMode, int32_t playerId, const FString& eosId, bool) {
    gameMode->EosIdsByPlayerId[playerId] = eosId;
    Host::Get().events.Record(
        {{"type", "playerIdLearned"}, {"playerId", playerId}, {"eosId", ToUtf8(eosId)}});
}

// The game's own copies into a record it fills, from its allocator called directly as the engine
// calls it; only the plugin reaches the allocator by name. The audit asks at every check of a
// tribe's creature.
template <typename T>
T* GameStorage(size_t count) {
    return static_cast<T*>(Malloc(count * sizeof(T), 0));
}

// The values' type may differ from the array's in name only: the world's UTF-16 names become
// engine text.
template <typename T, typename Source>
void FillArray(TArray<T>& array, const Source* values, size_t count) {
    static_assert(sizeof(T) == sizeof(Source) && std::is_trivially_copyable_v<Source>);
    if (count == 0) return;
    array.Data = GameStorage<T>(count);
    std::memcpy(array.Data, values, count * sizeof(T));
    array.ArrayNum = array.ArrayMax = static_cast<int32_t>(count);
}

FTribeData* GetOrLoadTribeData(AShooterGameMode*, int32_t tribeId, FTribeData* record, int32_t) {
    const TribeSpec* tribe = CurrentWorld().FindTribe(tribeId);
    if (tribe == nullptr) return record;
    record->TribeID = tribe->id;
    const size_t members = tribe->memberNames.size();
    TArray<FString>& names = record->MembersPlayerName;
    if (members > 0) {
        names.Data = GameStorage<FString>(members);
        names.ArrayMax = static_cast<int32_t>(members);
    }
    for (const std::u16string& name : tribe->memberNames) {
        FString& copy = *new (names.Data + names.ArrayNum++) FString();
        if (!name.empty()) FillArray(copy.Data, name.c_str(), name.size() + 1);
    }
    FillArray(record->MembersPlayerDataID, tribe->memberIds.data(), tribe->memberIds.size());
    return record;
}

FString UniqueNetIdAsString(APlayerController* controller) { return controller->EosId; }
FString PlayerCharacterName(AShooterPlayerController* controller) {
    return controller->CharacterName;
}

void SendRconMessage(RCONClientConnection* connection, int32_t requestId, int32_t type,
                     FString& text) {
    const std::string body = ToUtf8(text);
    Host::Get().events.Record(
        {{"type", "reply"}, {"channel", "rcon"}, {"text", body}, {"id", requestId}});
    if (connection != nullptr) connection->Send(requestId, type, body);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Winvalid-offsetof"
void RegisterAll(Registry& registry) {
    registry.AddFunction<&BeginPlay>(Game::BeginPlayName);
    registry.AddFunction<&DinoStaticClass>("APrimalDinoCharacter.GetPrivateStaticClass()");
    registry.AddFunction<&IsMissionDino>("APrimalDinoCharacter.IsMissionDino()");
    registry.AddFunction<&IsBossDino>("APrimalDinoCharacter.IsBossDino()");
    registry.AddFunction<&DestroyDino, false, true>("APrimalDinoCharacter.Destroy(bool,bool)");
    registry.AddFunction<&StatusComponent, true>("APrimalCharacter.GetCharacterStatusComponent()");
    registry.AddFunction<&CharacterLevel>("UPrimalCharacterStatusComponent.GetCharacterLevel()");
    registry.AddFunction<&IsChildOf>("UStruct.IsChildOf(UStruct*)");
    registry.AddFunction<&StaticFindObject>(
        "Global.StaticFindObject(UClass*,UObject*,wchar_t*,bool)");
    registry.AddFunction<&AllActorsOfClass>(
        "UGameplayStatics.GetAllActorsOfClass(UObject*,TSubclassOf<AActor>,TArray<AActor*,"
        "TSizedDefaultAllocator<32>>&)");
    registry.AddFunction<&SetWeak>("FWeakObjectPtr.operator=(UObject*)");
    registry.AddFunction<&ResolveWeak>("FWeakObjectPtr.Get()");
    registry.AddFunction<&MapName>("AShooterGameMode.GetMapName()");
    registry.AddFunction<&SteamIdStringForPlayerId>(
        "AShooterGameMode.GetSteamIDStringForPlayerID(int)");
    registry.AddFunction<&AddPlayerId>("AShooterGameMode.AddPlayerID(int,FString,bool)");
    registry.AddFunction<&GetOrLoadTribeData>(
        "AShooterGameMode.GetOrLoadTribeData(int,FTribeData&,ETribeDataExclude)");
    registry.AddFunction<&UniqueNetIdAsString>("AShooterPlayerController.GetUniqueNetIdAsString()");
    registry.AddFunction<&PlayerCharacterName>("AShooterPlayerController.GetPlayerCharacterName()");
    registry.AddFunction<&SendRconMessage>("RCONClientConnection.SendMessage(int,int,FString&)");
    registry.AddFunction<&Malloc>("FMemory.Malloc(unsigned__int64,unsignedint)");
    registry.AddFunction<&Realloc>("FMemory.Realloc(void*,unsigned__int64,unsignedint)");
    registry.AddRelease<&Free>("FMemory.Free(void*)");

    registry.AddField("UObjectBase.ClassPrivate", offsetof(UObject, ClassPrivate));
    registry.AddField("UStruct.PropertiesSize", offsetof(UStruct, PropertiesSize));
    registry.AddField("UPrimalActor.TargetingTeam", offsetof(AActor, TargetingTeam));
    registry.AddField("AActor.RootComponent", offsetof(AActor, RootComponent));
    registry.AddField("USceneComponent.RelativeLocation",
                      offsetof(USceneComponent, RelativeLocation));
    registry.AddField("APrimalCharacter.DescriptiveName",
                      offsetof(APrimalCharacter, DescriptiveName));
    registry.AddField("UWorld.PlayerControllerList", offsetof(UWorld, PlayerControllerList));
    registry.AddField("AShooterPlayerController.LinkedPlayerID",
                      offsetof(APlayerController, LinkedPlayerID));
    registry.AddField("FTribeData.TribeID", offsetof(FTribeData, TribeID));
    registry.AddField("FTribeData.MembersPlayerName", offsetof(FTribeData, MembersPlayerName));
    registry.AddField("FTribeData.MembersPlayerDataID", offsetof(FTribeData, MembersPlayerDataID));
    using Status = UPrimalCharacterStatusComponent;
    registry.AddField("UPrimalCharacterStatusComponent.NumberOfLevelUpPointsApplied",
                      offsetof(Status, NumberOfLevelUpPointsApplied));
    registry.AddField("UPrimalCharacterStatusComponent.NumberOfLevelUpPointsAppliedTamed",
                      offsetof(Status, NumberOfLevelUpPointsAppliedTamed));
    registry.AddField("UPrimalCharacterStatusComponent.NumberOfMutationsAppliedTamed",
                      offsetof(Status, NumberOfMutationsAppliedTamed));
    registry.AddField("UPrimalCharacterStatusComponent.CurrentStatusValues",
                      offsetof(Status, CurrentStatusValues));
}
#pragma GCC diagnostic pop

}  // namespace

Registry& GameRegistry() {
    static Registry registry = [] {
        Registry filled;
        RegisterAll(filled);
        return filled;
    }();
    return registry;
}

}  // namespace standin

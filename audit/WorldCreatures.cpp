#include "audit/WorldCreatures.h"

#include "audit/OnlinePlayers.h"
#include "host/AsaApi.h"
#include "host/Game.h"

void ForEachCreatureInWorld(
    const std::function<void(TWeakObjectPtr<APrimalDinoCharacter>)>& visit) {
    if (AsaApi::GetApiUtils().CurrentWorld() == nullptr) return;
    const OnlinePlayersCall oneCall;
    UClass* dinoClass = Game::DinoClass();
    TArray<AActor*> actors;
    Game::AllActorsOfClass(AsaApi::GetApiUtils().CurrentWorld(), dinoClass, actors);
    for (AActor* actor : actors) {
        if (actor == nullptr) continue;
        if (!Game::IsChildOf(Game::ClassOf(Game::AsObject(actor)), Game::DinoClass())) continue;
        visit(Game::MakeWeak(reinterpret_cast<APrimalDinoCharacter*>(actor)));
    }
    // TArray's destructor releases the storage with the engine allocator.
}

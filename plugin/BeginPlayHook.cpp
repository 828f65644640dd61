#include "plugin/BeginPlayHook.h"

#include "audit/CheckDino.h"

Game::BeginPlayFunction* UnhookedBeginPlay = nullptr;

Tools::Timer& TheTimer() {
    static Tools::Timer timer;
    return timer;
}

void BeginPlayHook(APrimalDinoCharacter* dino) {
    UnhookedBeginPlay(dino);
    TheTimer().Enqueue(&CheckDino, Game::MakeWeak(dino));
}

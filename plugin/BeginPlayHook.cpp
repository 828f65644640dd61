#include "plugin/BeginPlayHook.h"

#include <exception>

#include "audit/CheckDino.h"
#include "plugin/Logger.h"

Game::BeginPlayFunction* UnhookedBeginPlay = nullptr;

Tools::Timer& TheTimer() {
    static Tools::Timer timer;
    return timer;
}

// The game called this instead of its BeginPlay: nothing may leave it. A Timer that cannot be
// created (the host refused its update callback) is tried again at the next creature.
void BeginPlayHook(APrimalDinoCharacter* dino) {
    UnhookedBeginPlay(dino);
    try {
        TheTimer().Enqueue(&CheckDino, Game::MakeWeak(dino));
    } catch (const std::exception& error) {
        PluginLogger()->critical("Failed to queue a creature check! \n {}", error.what());
    } catch (...) {
        PluginLogger()->critical("Failed to queue a creature check! \n unknown error");
    }
}

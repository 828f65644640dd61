#include "plugin/BeginPlayHook.h"

#include <exception>

#include "audit/CheckDino.h"
#include "base/Logger.h"
#include "plugin/CheckCounts.h"

Game::BeginPlayFunction* UnhookedBeginPlay = nullptr;

// The check of a creature that began play, counted once it ran to its end.
void CheckBegunDino(TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
    CheckDino(weakDino);
    ++TheCheckCounts().afterBeginPlay;
}

// The game called this instead of its BeginPlay: nothing may leave it, not even a failure of the
// game's own BeginPlay, after which the creature is checked all the same. A Timer that cannot be
// created (the host refused its update callback) is tried again at the next creature.
void BeginPlayHook(APrimalDinoCharacter* dino) {
    try {
        UnhookedBeginPlay(dino);
    } catch (const std::exception& error) {
        PluginLogger()->critical("The game's BeginPlay failed! \n {}", error.what());
    } catch (...) {
        PluginLogger()->critical("The game's BeginPlay failed! \n unknown error");
    }
    try {
        TheTimer().Enqueue(&CheckBegunDino, Game::MakeWeak(dino));
    } catch (const std::exception& error) {
        PluginLogger()->critical("Failed to queue a creature check! \n {}", error.what());
    } catch (...) {
        PluginLogger()->critical("Failed to queue a creature check! \n unknown error");
    }
}

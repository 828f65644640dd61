// The detour on the creature's BeginPlay: the game's own BeginPlay, then a check one second later.
#pragma once

#include "host/Game.h"
#include "plugin/Timer.h"

// Written by the host when the hook is installed: the game's own BeginPlay.
extern Game::BeginPlayFunction* UnhookedBeginPlay;

void BeginPlayHook(APrimalDinoCharacter* dino);

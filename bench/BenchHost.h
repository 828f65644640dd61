// The plugin's code run in this process, as the host would run it after loading the library:
// a generated world in the stand-in host, the plugin's logger and an empty configuration.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>

#include "host/EngineTypes.h"
#include "standin/World.h"

// Replaces the host's world with a generated one of that many creatures.
standin::World& InstallGeneratedWorld(size_t creatureCount);

// What PluginLoad sets up before its sweep: the plugin's name, its logger over the host's sinks
// (none here) and the default configuration (an empty object).
void PrepareInProcessPlugin();

// Makes `document` the configuration in force, as a reload of a file holding it would.
void UseConfig(const nlohmann::json& document);

// Posts are recorded, never sent; this drops what the host recorded so far.
void ForgetHostEvents();

// The first creature of the host's world that belongs to a wild team, and one of the tribe with
// the most members.
TWeakObjectPtr<APrimalDinoCharacter> FirstWildCreature();
TWeakObjectPtr<APrimalDinoCharacter> FirstCreatureOfLargestTribe();

// A new creature of the tribe with the most members, level 200, already in `world`.
TWeakObjectPtr<APrimalDinoCharacter> AddTribeCreature(standin::World& world);

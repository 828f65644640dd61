// Large, deterministic worlds for benchmarks and load tests: built in memory with BuildWorld or
// written as a world file for the stand-in server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "standin/WorldFile.h"

namespace standin {

inline constexpr int32_t GeneratedOnlinePlayers = 100;
inline constexpr int32_t GeneratedLargestTribe = 10;

// A busy server of `creatureCount` creatures: 70 % wild (teams 11 to 50000), 30 % owned by
// tribes of 1 to 10 members (the first tribe has 10), 100 players online of whom half are known
// to the game mode, every creature coherent and below level 1000, no exempt name. The same count
// and seed always give the same world.
WorldDescription GenerateWorld(size_t creatureCount, uint32_t seed = 20240611);

}  // namespace standin

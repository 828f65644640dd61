// Large, deterministic worlds for benchmarks and load tests: built in memory or written as a
// world file for the stand-in server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "standin/World.h"

namespace standin {

// What a generated world holds, before it becomes a World or a file.
struct WorldDescription {
    std::u16string mapName = u"TheIsland_WP";
    std::vector<PlayerSpec> players;
    std::vector<TribeSpec> tribes;
    std::vector<DinoSpec> creatures;
};

inline constexpr int32_t GeneratedOnlinePlayers = 70;
inline constexpr int32_t GeneratedLargestTribe = 10;
inline constexpr int32_t GeneratedFirstTribeId = 1000050001;
inline constexpr int32_t GeneratedLastWildTeam = 50000;

// A busy server of `creatureCount` creatures: 70 % wild (teams 11 to 50000), 30 % owned by
// tribes of 1 to 10 members (the first tribe has 10), 70 players online of whom half are known
// to the game mode, every creature coherent and below level 1000, no exempt name. The same count
// and seed always give the same world.
WorldDescription GenerateWorld(size_t creatureCount, uint32_t seed = 20240611);

// A World holding the description's players, tribes and creatures, in order. The host's world
// is not touched; the caller decides where the World goes.
std::unique_ptr<World> BuildGeneratedWorld(const WorldDescription& description);

// The description as a world file document (map, players, tribes, creatures).
nlohmann::json WorldFileDocument(const WorldDescription& description);
// Writes WorldFileDocument to `path`; throws std::runtime_error when the file cannot be written.
void WriteWorldFile(const WorldDescription& description, const std::filesystem::path& path);

}  // namespace standin

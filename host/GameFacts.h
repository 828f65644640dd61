// The game's facts that the audit relies on, in one place: its stats, and how team ids divide
// wild creatures, single owners and tribes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace Game {

struct Stat {
    std::string_view name;   // as "StatValueLimits" names it
    bool countsTowardLevel;  // its level-up points and mutations make up the creature's level
};

// The engine's stats in its order: the status component's per-stat arrays use these indices.
inline constexpr std::array<Stat, 12> Stats{{{"Health", true},
                                             {"Stamina", true},
                                             {"Torpidity", false},
                                             {"Oxygen", true},
                                             {"Food", true},
                                             {"Water", false},
                                             {"Temperature", false},
                                             {"Weight", true},
                                             {"MeleeDamageMultiplier", true},
                                             {"SpeedMultiplier", true},
                                             {"TemperatureFortitude", false},
                                             {"CraftingSpeedMultiplier", true}}};
inline constexpr int32_t StatCount = static_cast<int32_t>(Stats.size());

// Team ids up to this one are wild creatures'.
inline constexpr int32_t LastWildTeam = 50000;
// Team ids from this one up are tribes; any other team id is the data id of a single player.
inline constexpr int32_t FirstTribeId = 1000050001;
// The highest level a wild creature spawns at under the game's default difficulty settings.
inline constexpr int32_t HighestDefaultWildLevel = 150;
// The two team ids whose creatures every check leaves alone, whatever else they are.
inline constexpr std::array<int32_t, 2> ExemptTeams{6, 10};

}  // namespace Game

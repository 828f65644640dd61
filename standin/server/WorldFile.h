// World files: the JSON description of a world the stand-in server plays, its parsing with
// precise error messages, and the building of a standin::World from it.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin/World.h"

namespace standin {

// A creature of the world file: its game data and, when set, when it begins play and when it
// is removed, in seconds after the plugin loaded.
struct ScheduledDino {
    DinoSpec details;
    std::optional<double> beginPlayAt;  // unset: in the world when the plugin loads
    std::optional<double> destroyAt;
};

struct WorldFile {
    std::u16string mapName = u"TheIsland_WP";
    std::vector<PlayerSpec> players;
    std::vector<TribeSpec> tribes;
    std::vector<ScheduledDino> creatures;  // in file order
};

// A world file that cannot be played; what() names the file, the place and the reason.
class WorldFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a world file's text; `sourceName` names it in error messages. Throws WorldFileError.
WorldFile ParseWorldFile(const std::string& text, const std::string& sourceName);
// Reads and parses the file. Throws WorldFileError, also when the file cannot be read.
WorldFile LoadWorldFile(const std::filesystem::path& path);

// A world holding the file's players, tribes and the creatures present at load, in file order.
std::unique_ptr<World> BuildWorld(const WorldFile& file);

}  // namespace standin

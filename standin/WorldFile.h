// World files: the JSON description of a world the stand-in server plays, read with precise error
// messages and written back, and the building of a standin::World from a description.
#pragma once

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
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

// What a world holds: what a world file describes and what the generator makes.
struct WorldDescription {
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
WorldDescription ParseWorldFile(const std::string& text, const std::string& sourceName);
// Reads and parses the file. Throws WorldFileError, also when the file cannot be read.
WorldDescription LoadWorldFile(const std::filesystem::path& path);

// The description as a world file document, which ParseWorldFile reads back as it was.
nlohmann::json WorldFileDocument(const WorldDescription& description);
// Writes WorldFileDocument to `path`; throws std::runtime_error when the file cannot be written.
void WriteWorldFile(const WorldDescription& description, const std::filesystem::path& path);

// A world holding the description's players, tribes and the creatures present at load, in
// order. The host's world is not touched; the caller decides where the World goes.
std::unique_ptr<World> BuildWorld(const WorldDescription& description);

}  // namespace standin

#include "standin/WorldFile.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "standin/Text.h"

namespace standin {
namespace {

using nlohmann::json;

// Where a value sits: the file and the path of keys and indices that lead to it.
struct Place {
    const std::string& source;
    std::string path;

    Place Member(const std::string& key) const {
        return {source, path.empty() ? key : path + "." + key};
    }
    Place Element(size_t index) const { return {source, path + "[" + std::to_string(index) + "]"}; }
    [[noreturn]] void Fail(const std::string& reason) const {
        throw WorldFileError("world file " + source + ": " + (path.empty() ? "top level" : path) +
                             ": " + reason);
    }
};

std::string Expected(const std::string& what, const json& value) {
    return "expected " + what + ", got " + std::string(value.type_name());
}

const json& RequireObject(const json& value, const Place& place,
                          std::initializer_list<const char*> allowedKeys) {
    if (!value.is_object()) place.Fail(Expected("an object", value));
    for (const auto& member : value.items()) {
        const std::string& key = member.key();
        const bool known = std::any_of(allowedKeys.begin(), allowedKeys.end(),
                                       [&](const char* allowed) { return key == allowed; });
        if (!known) place.Member(key).Fail("unknown key");
    }
    return value;
}

const json& RequireArray(const json& value, const Place& place) {
    if (!value.is_array()) place.Fail(Expected("an array", value));
    return value;
}

std::u16string ReadText(const json& value, const Place& place) {
    if (!value.is_string()) place.Fail(Expected("a string", value));
    return ToUtf16(value.get<std::string>());
}

bool ReadFlag(const json& value, const Place& place) {
    if (!value.is_boolean()) place.Fail(Expected("true or false", value));
    return value.get<bool>();
}

int64_t ReadInteger(const json& value, const Place& place, int64_t lowest, int64_t highest) {
    const std::string range =
        "an integer from " + std::to_string(lowest) + " to " + std::to_string(highest);
    if (value.is_number_unsigned()) {
        if (value.get<uint64_t>() > static_cast<uint64_t>(highest))
            place.Fail("expected " + range + ", got " + value.dump());
        return static_cast<int64_t>(value.get<uint64_t>());
    }
    if (!value.is_number_integer()) place.Fail(Expected(range, value));
    const int64_t number = value.get<int64_t>();
    if (number < lowest || number > highest)
        place.Fail("expected " + range + ", got " + value.dump());
    return number;
}

double ReadNumber(const json& value, const Place& place) {
    if (!value.is_number()) place.Fail(Expected("a number", value));
    return value.get<double>();
}

double ReadSeconds(const json& value, const Place& place) {
    const double seconds = ReadNumber(value, place);
    if (!std::isfinite(seconds) || seconds < 0)
        place.Fail("expected seconds of 0 or more, got " + value.dump());
    return seconds;
}

const json& RequireStatArray(const json& value, const Place& place) {
    RequireArray(value, place);
    if (value.size() != Game::StatCount)
        place.Fail("expected " + std::to_string(Game::StatCount) + " values, got " +
                   std::to_string(value.size()));
    return value;
}

std::array<uint8_t, Game::StatCount> ReadStatCounts(const json& value, const Place& place) {
    RequireStatArray(value, place);
    std::array<uint8_t, Game::StatCount> counts{};
    for (size_t i = 0; i < counts.size(); ++i)
        counts[i] = static_cast<uint8_t>(ReadInteger(value[i], place.Element(i), 0, 255));
    return counts;
}

std::array<float, Game::StatCount> ReadStatValues(const json& value, const Place& place) {
    RequireStatArray(value, place);
    std::array<float, Game::StatCount> values{};
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = static_cast<float>(ReadNumber(value[i], place.Element(i)));
    return values;
}

FVector ReadLocation(const json& value, const Place& place) {
    RequireArray(value, place);
    if (value.size() != 3) place.Fail("expected 3 numbers, got " + std::to_string(value.size()));
    return {ReadNumber(value[0], place.Element(0)), ReadNumber(value[1], place.Element(1)),
            ReadNumber(value[2], place.Element(2))};
}

constexpr int64_t Int32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t Int32Max = std::numeric_limits<int32_t>::max();

PlayerSpec ReadPlayer(const json& value, const Place& place) {
    RequireObject(value, place,
                  {"id", "eosId", "characterName", "online", "knownToGameMode", "offlineAt"});
    PlayerSpec player;
    if (!value.contains("id")) place.Member("id").Fail("missing");
    player.id =
        static_cast<int32_t>(ReadInteger(value["id"], place.Member("id"), Int32Min, Int32Max));
    if (value.contains("eosId")) player.eosId = ReadText(value["eosId"], place.Member("eosId"));
    if (value.contains("characterName"))
        player.characterName = ReadText(value["characterName"], place.Member("characterName"));
    if (value.contains("online")) player.online = ReadFlag(value["online"], place.Member("online"));
    if (value.contains("knownToGameMode"))
        player.knownToGameMode =
            ReadFlag(value["knownToGameMode"], place.Member("knownToGameMode"));
    if (value.contains("offlineAt")) {
        if (!player.online) place.Member("offlineAt").Fail("needs a player who is online");
        player.offlineAt = ReadSeconds(value["offlineAt"], place.Member("offlineAt"));
    }
    return player;
}

TribeSpec ReadTribe(const json& value, const Place& place) {
    RequireObject(value, place, {"id", "memberNames", "memberIds"});
    TribeSpec tribe;
    if (!value.contains("id")) place.Member("id").Fail("missing");
    tribe.id =
        static_cast<int32_t>(ReadInteger(value["id"], place.Member("id"), Int32Min, Int32Max));
    if (value.contains("memberNames")) {
        const Place names = place.Member("memberNames");
        const json& list = RequireArray(value["memberNames"], names);
        for (size_t i = 0; i < list.size(); ++i)
            tribe.memberNames.push_back(ReadText(list[i], names.Element(i)));
    }
    if (value.contains("memberIds")) {
        const Place ids = place.Member("memberIds");
        const json& list = RequireArray(value["memberIds"], ids);
        for (size_t i = 0; i < list.size(); ++i)
            tribe.memberIds.push_back(static_cast<uint32_t>(
                ReadInteger(list[i], ids.Element(i), 0, std::numeric_limits<uint32_t>::max())));
    }
    return tribe;
}

ScheduledDino ReadCreature(const json& value, const Place& place) {
    RequireObject(value, place,
                  {"key", "name", "team", "level", "boss", "mission", "location", "statusComponent",
                   "levelUpPoints", "levelUpPointsTamed", "mutationsTamed", "currentStatus",
                   "beginPlayAt", "destroyAt"});
    ScheduledDino creature;
    DinoSpec& details = creature.details;
    if (!value.contains("key")) place.Member("key").Fail("missing");
    details.key = ToUtf8(ReadText(value["key"], place.Member("key")));
    if (details.key.empty()) place.Member("key").Fail("must not be empty");
    const auto member = [&](const char* key) -> const json* {
        return value.contains(key) ? &value[key] : nullptr;
    };
    if (auto* name = member("name")) details.name = ReadText(*name, place.Member("name"));
    if (auto* team = member("team"))
        details.team =
            static_cast<int32_t>(ReadInteger(*team, place.Member("team"), Int32Min, Int32Max));
    if (auto* level = member("level"))
        details.level =
            static_cast<int32_t>(ReadInteger(*level, place.Member("level"), Int32Min, Int32Max));
    if (auto* boss = member("boss")) details.boss = ReadFlag(*boss, place.Member("boss"));
    if (auto* mission = member("mission"))
        details.mission = ReadFlag(*mission, place.Member("mission"));
    if (auto* location = member("location"))
        details.location = ReadLocation(*location, place.Member("location"));
    if (auto* status = member("statusComponent"))
        details.statusComponent = ReadFlag(*status, place.Member("statusComponent"));
    if (auto* points = member("levelUpPoints"))
        details.levelUpPoints = ReadStatCounts(*points, place.Member("levelUpPoints"));
    if (auto* points = member("levelUpPointsTamed"))
        details.levelUpPointsTamed = ReadStatCounts(*points, place.Member("levelUpPointsTamed"));
    if (auto* mutations = member("mutationsTamed"))
        details.mutationsTamed = ReadStatCounts(*mutations, place.Member("mutationsTamed"));
    if (auto* status = member("currentStatus"))
        details.currentStatus = ReadStatValues(*status, place.Member("currentStatus"));
    if (auto* at = member("beginPlayAt"))
        creature.beginPlayAt = ReadSeconds(*at, place.Member("beginPlayAt"));
    if (auto* at = member("destroyAt")) {
        creature.destroyAt = ReadSeconds(*at, place.Member("destroyAt"));
        if (creature.beginPlayAt && *creature.destroyAt < *creature.beginPlayAt)
            place.Member("destroyAt").Fail("comes before beginPlayAt");
    }
    return creature;
}

// Line and column (both from 1) of a byte offset, for syntax errors.
std::string LineAndColumn(const std::string& text, size_t offset) {
    offset = std::min(offset, text.size());
    size_t line = 1, column = 1;
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

}  // namespace

WorldDescription ParseWorldFile(const std::string& text, const std::string& sourceName) {
    json document;
    try {
        document = json::parse(text);
    } catch (const json::parse_error& error) {
        // The library counts the offending byte from 1.
        const size_t offset = error.byte > 0 ? error.byte - 1 : 0;
        std::string reason = error.what();
        if (const auto at = reason.find("syntax error"); at != std::string::npos)
            reason = reason.substr(at);
        throw WorldFileError("world file " + sourceName + ": " + LineAndColumn(text, offset) +
                             ": not valid JSON: " + reason);
    }

    const Place top{sourceName, ""};
    RequireObject(document, top, {"map", "players", "tribes", "creatures"});
    WorldDescription world;
    if (document.contains("map")) world.mapName = ReadText(document["map"], top.Member("map"));
    if (document.contains("players")) {
        const Place players = top.Member("players");
        const json& list = RequireArray(document["players"], players);
        for (size_t i = 0; i < list.size(); ++i)
            world.players.push_back(ReadPlayer(list[i], players.Element(i)));
    }
    if (document.contains("tribes")) {
        const Place tribes = top.Member("tribes");
        const json& list = RequireArray(document["tribes"], tribes);
        for (size_t i = 0; i < list.size(); ++i)
            world.tribes.push_back(ReadTribe(list[i], tribes.Element(i)));
    }
    if (document.contains("creatures")) {
        const Place creatures = top.Member("creatures");
        const json& list = RequireArray(document["creatures"], creatures);
        std::set<std::string> keys;
        for (size_t i = 0; i < list.size(); ++i) {
            world.creatures.push_back(ReadCreature(list[i], creatures.Element(i)));
            // Keys name creatures in events and in destroyAt, so they must be unique.
            if (!keys.insert(world.creatures.back().details.key).second)
                creatures.Element(i).Member("key").Fail("duplicate key \"" +
                                                        world.creatures.back().details.key + "\"");
        }
    }
    return world;
}

WorldDescription LoadWorldFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw WorldFileError("world file " + path.string() + ": cannot be opened");
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) throw WorldFileError("world file " + path.string() + ": cannot be read");
    return ParseWorldFile(text.str(), path.string());
}

namespace {

nlohmann::json StatArray(const auto& values) {
    nlohmann::json array = nlohmann::json::array();
    for (const auto value : values) array.push_back(value);
    return array;
}

nlohmann::json CreatureDocument(const ScheduledDino& creature) {
    const DinoSpec& details = creature.details;
    nlohmann::json document = {
        {"key", details.key},
        {"name", ToUtf8(details.name)},
        {"team", details.team},
        {"level", details.level},
        {"boss", details.boss},
        {"mission", details.mission},
        {"location", {details.location.X, details.location.Y, details.location.Z}},
        {"statusComponent", details.statusComponent},
        {"levelUpPoints", StatArray(details.levelUpPoints)},
        {"levelUpPointsTamed", StatArray(details.levelUpPointsTamed)},
        {"mutationsTamed", StatArray(details.mutationsTamed)},
        {"currentStatus", StatArray(details.currentStatus)}};
    if (creature.beginPlayAt) document["beginPlayAt"] = *creature.beginPlayAt;
    if (creature.destroyAt) document["destroyAt"] = *creature.destroyAt;
    return document;
}

}  // namespace

nlohmann::json WorldFileDocument(const WorldDescription& description) {
    nlohmann::json players = nlohmann::json::array();
    for (const PlayerSpec& player : description.players) {
        players.push_back({{"id", player.id},
                           {"eosId", ToUtf8(player.eosId)},
                           {"characterName", ToUtf8(player.characterName)},
                           {"online", player.online},
                           {"knownToGameMode", player.knownToGameMode}});
        if (player.offlineAt) players.back()["offlineAt"] = *player.offlineAt;
    }
    nlohmann::json tribes = nlohmann::json::array();
    for (const TribeSpec& tribe : description.tribes) {
        nlohmann::json names = nlohmann::json::array();
        for (const std::u16string& name : tribe.memberNames) names.push_back(ToUtf8(name));
        tribes.push_back(
            {{"id", tribe.id}, {"memberNames", names}, {"memberIds", tribe.memberIds}});
    }
    nlohmann::json creatures = nlohmann::json::array();
    for (const ScheduledDino& creature : description.creatures)
        creatures.push_back(CreatureDocument(creature));
    return {{"map", ToUtf8(description.mapName)},
            {"players", players},
            {"tribes", tribes},
            {"creatures", creatures}};
}

void WriteWorldFile(const WorldDescription& description, const std::filesystem::path& path) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) throw std::runtime_error("cannot write world file " + path.string());
    file << WorldFileDocument(description).dump() << '\n';
    if (!file.flush()) throw std::runtime_error("cannot write world file " + path.string());
}

std::unique_ptr<World> BuildWorld(const WorldDescription& description) {
    auto world = std::make_unique<World>(description.mapName);
    for (const PlayerSpec& player : description.players) world->AddPlayer(player);
    for (const TribeSpec& tribe : description.tribes) world->AddTribe(tribe);
    for (const ScheduledDino& creature : description.creatures)
        if (!creature.beginPlayAt) world->AddDino(creature.details);
    return world;
}

}  // namespace standin

#include "standin/WorldGenerator.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <random>
#include <stdexcept>

#include "standin/Text.h"

namespace standin {
namespace {

// The stats whose points count towards the level, or do not; the latter get a few points that
// must not count.
std::vector<size_t> StatsThatCount(bool count) {
    std::vector<size_t> stats;
    for (size_t stat = 0; stat < Game::Stats.size(); ++stat)
        if (Game::Stats[stat].countsTowardLevel == count) stats.push_back(stat);
    return stats;
}

// None contains an exempt fragment (Exo, Skiff, raft, boat, bee, titan), so every creature is
// audited in full.
constexpr std::array<const char16_t*, 16> CreatureNames{
    u"Rex",        u"Raptor",     u"Dodo",        u"Argentavis",    u"Triceratops", u"Stegosaurus",
    u"Pteranodon", u"Parasaur",   u"Carnotaurus", u"Spinosaurus",   u"Direwolf",    u"Sabertooth",
    u"Mammoth",    u"Allosaurus", u"Baryonyx",    u"Giganotosaurus"};

// std::mt19937 gives the same sequence everywhere; the distributions of the standard library do
// not, so ranges are cut by hand.
class Draw {
public:
    explicit Draw(uint32_t seed) : engine(seed) {}
    uint32_t Below(uint32_t bound) { return static_cast<uint32_t>(engine() % bound); }
    int32_t Between(int32_t lowest, int32_t highest) {
        return lowest + static_cast<int32_t>(Below(static_cast<uint32_t>(highest - lowest + 1)));
    }
    double Coordinate() { return static_cast<double>(Between(-3000000, 3000000)) / 8.0; }

private:
    std::mt19937 engine;
};

std::u16string HexId(Draw& draw) {
    static constexpr char16_t Digits[] = u"0123456789abcdef";
    std::u16string id(32, u'0');
    for (char16_t& unit : id) unit = Digits[draw.Below(16)];
    return id;
}

// Puts `total` points on counted stats, at most 255 on each.
void Spread(int32_t total, std::array<uint8_t, Game::StatCount>& points, Draw& draw) {
    while (total > 0) {
        static const std::vector<size_t> counted = StatsThatCount(true);
        const size_t stat = counted[draw.Below(static_cast<uint32_t>(counted.size()))];
        const int32_t room = 255 - points[stat];
        const int32_t add = std::min({total, room, draw.Between(1, 25)});
        points[stat] = static_cast<uint8_t>(points[stat] + add);
        total -= add;
    }
}

DinoSpec MakeCreature(size_t index, int32_t team, bool tamed, Draw& draw) {
    DinoSpec creature;
    creature.key = "dino-" + std::to_string(index);
    creature.name = CreatureNames[draw.Below(CreatureNames.size())];
    creature.team = team;
    creature.level = tamed ? draw.Between(1, 449) : draw.Between(1, 150);
    creature.location = {draw.Coordinate(), draw.Coordinate(), draw.Coordinate() / 10};
    int32_t left = creature.level - 1;
    if (tamed) {
        const int32_t mutations = std::min(left, draw.Between(0, 4));
        Spread(mutations, creature.mutationsTamed, draw);
        left -= mutations;
        const int32_t tamedPoints = left / 3;
        Spread(tamedPoints, creature.levelUpPointsTamed, draw);
        left -= tamedPoints;
    }
    Spread(left, creature.levelUpPoints, draw);
    for (size_t stat : StatsThatCount(false))
        creature.levelUpPoints[stat] = static_cast<uint8_t>(draw.Below(8));
    for (float& value : creature.currentStatus) value = static_cast<float>(draw.Between(1, 20000));
    return creature;
}

}  // namespace

WorldDescription GenerateWorld(size_t creatureCount, uint32_t seed) {
    Draw draw(seed);
    WorldDescription world;
    const size_t tribedCreatures = creatureCount * 3 / 10;
    const size_t tribeCount = std::max<size_t>(1, tribedCreatures / 30);
    for (size_t tribeIndex = 0; tribeIndex < tribeCount; ++tribeIndex) {
        TribeSpec tribe;
        tribe.id = Game::FirstTribeId + static_cast<int32_t>(tribeIndex) * 13;
        const int32_t members =
            tribeIndex == 0 ? GeneratedLargestTribe : draw.Between(1, GeneratedLargestTribe);
        for (int32_t member = 0; member < members; ++member) {
            const auto id = static_cast<int32_t>(100000000 + world.players.size() * 7919);
            const std::u16string name =
                u"Survivor " + ToUtf16(std::to_string(world.players.size()));
            world.players.push_back({.id = id, .eosId = HexId(draw), .characterName = name});
            tribe.memberNames.push_back(name);
            tribe.memberIds.push_back(static_cast<uint32_t>(id));
        }
        world.tribes.push_back(std::move(tribe));
    }
    while (world.players.size() < static_cast<size_t>(GeneratedOnlinePlayers)) {
        const auto id = static_cast<int32_t>(100000000 + world.players.size() * 7919);
        world.players.push_back({.id = id,
                                 .eosId = HexId(draw),
                                 .characterName = u"Loner " + ToUtf16(std::to_string(id))});
    }
    // Online players are spread over the tribes; offline players are known to the game mode, and
    // every second online one is, so the lookups take both of their paths.
    const size_t stride = world.players.size() / GeneratedOnlinePlayers;
    int32_t online = 0;
    for (size_t i = 0; i < world.players.size(); ++i) {
        PlayerSpec& player = world.players[i];
        player.online = i % stride == 0 && online < GeneratedOnlinePlayers;
        player.knownToGameMode = !player.online || online % 2 == 0;
        if (player.online) ++online;
    }
    for (size_t index = 0; index < creatureCount; ++index) {
        const bool tamed = (index * 3 / 10) != ((index + 1) * 3 / 10);
        const int32_t team = tamed ? world.tribes[draw.Below(static_cast<uint32_t>(tribeCount))].id
                                   : draw.Between(11, Game::LastWildTeam);
        world.creatures.push_back({MakeCreature(index, team, tamed, draw), {}, {}});
    }
    return world;
}

}  // namespace standin

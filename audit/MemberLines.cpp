#include "audit/MemberLines.h"

#include <cstring>
#include <string>
#include <utility>

#include "audit/Messages.h"
#include "audit/OnlinePlayers.h"
#include "audit/TextConversion.h"
#include "base/Format.h"
#include "host/AsaApi.h"
#include "host/Game.h"

namespace {

// StaticFindObject's outer for "any package".
UObject* const AnyPackage = reinterpret_cast<UObject*>(static_cast<intptr_t>(-1));

// A zero-filled block that the game fills as its tribe record. Its three known fields are located
// once; only they are released, and the block itself goes back to the engine allocator.
class TribeRecord {
public:
    explicit TribeRecord(int32_t blockSize) : size(blockSize), block(blockSize) {
        FTribeData* record = get();
        tribeId = &Game::TribeId(record);
        names = &Game::MembersPlayerName(record);
        ids = &Game::MembersPlayerDataId(record);
        holdsFields = Ends(tribeId) && Ends(names) && Ends(ids);
    }
    ~TribeRecord() {
        if (holdsFields) {
            names->~TArray();
            ids->~TArray();
        }
    }
    TribeRecord(const TribeRecord&) = delete;
    TribeRecord& operator=(const TribeRecord&) = delete;

    FTribeData* get() const { return static_cast<FTribeData*>(block.data); }

    // A block smaller than the game's record would let the game write past its end.
    bool HoldsFields() const { return holdsFields; }
    int32_t TribeId() const { return *tribeId; }
    const TArray<FString>& Names() const { return *names; }
    const TArray<uint32_t>& Ids() const { return *ids; }

private:
    template <typename Field>
    bool Ends(const Field* field) const {
        const auto offset =
            reinterpret_cast<const char*>(field) - static_cast<const char*>(block.data);
        return offset >= 0 && offset + static_cast<std::ptrdiff_t>(sizeof(Field)) <= size;
    }

    // Goes back to the allocator even when locating a field throws.
    struct Block {
        explicit Block(int32_t size) : data(EngineMalloc(static_cast<uint64_t>(size))) {
            std::memset(data, 0, static_cast<size_t>(size));
        }
        ~Block() { EngineFree(data); }
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;
        void* data;
    };

    int32_t size;
    Block block;
    int32_t* tribeId;
    TArray<FString>* names;
    TArray<uint32_t>* ids;
    bool holdsFields;
};

// The size of the game's tribe record, found once per process; 0 when the game has no such type.
int32_t TribeRecordSize() {
    static const int32_t size = [] {
        UObject* scriptStruct =
            Game::StaticFindObject(nullptr, AnyPackage, TW_TEXT("ScriptStruct"), true);
        if (scriptStruct == nullptr) return 0;
        UObject* tribeData = Game::StaticFindObject(reinterpret_cast<UClass*>(scriptStruct),
                                                    AnyPackage, TW_TEXT("TribeData"), true);
        return tribeData != nullptr ? Game::PropertiesSize(tribeData) : 0;
    }();
    return size;
}

// The EOS id of a player: from the game mode, else from an online controller (then handed to the
// game mode); empty when neither knows it or the id is 0.
FString EosIdForPlayer(int32_t playerId, AuditEffects& effects) {
    if (playerId == 0) return FString();
    AShooterGameMode* gameMode = AsaApi::GetApiUtils().CurrentGameMode();
    if (gameMode == nullptr) return FString();
    FString eosId = Game::SteamIdStringForPlayerId(gameMode, playerId);
    if (!eosId.IsEmpty()) return eosId;
    // Only the walk of the online players needs a world.
    UWorld* world = AsaApi::GetApiUtils().CurrentWorld();
    if (world == nullptr) return FString();
    const auto wanted = static_cast<uint64_t>(static_cast<int64_t>(playerId));
    for (const auto& weakController : Game::PlayerControllerList(world)) {
        APlayerController* controller = weakController.Get();
        if (controller == nullptr || Game::LinkedPlayerId(controller) != wanted) continue;
        eosId = Game::UniqueNetIdAsString(controller);
        break;
    }
    if (!eosId.IsEmpty()) effects.AddPlayerId(gameMode, playerId, eosId);
    return eosId;
}

// A line ends at its first zero byte, where the host's constructor from 8-bit text stops reading.
void AddLine(std::vector<std::string>& lines, std::string line) {
    line.resize(std::strlen(line.c_str()));
    lines.push_back(std::move(line));
}

// Looks the tribe up in the game and, when the game filled the record for it, hands `visit` the
// member names and the parallel (maybe shorter) player ids.
template <typename Visit>
void VisitTribe(int32_t tribeId, Visit visit) {
    AShooterGameMode* gameMode = AsaApi::GetApiUtils().CurrentGameMode();
    const int32_t size = TribeRecordSize();
    if (size <= 0 || gameMode == nullptr) return;
    TribeRecord record(size);
    if (!record.HoldsFields()) return;
    Game::GetOrLoadTribeData(gameMode, tribeId, record.get());
    if (record.TribeId() != tribeId) return;
    visit(record.Names(), record.Ids());
}

void AddTribeLines(std::vector<std::string>& lines, std::vector<Owner>& owners, int32_t tribeId,
                   AuditEffects& effects) {
    VisitTribe(tribeId, [&](const TArray<FString>& names, const TArray<uint32_t>& ids) {
        lines.reserve(static_cast<size_t>(names.Num()));
        owners.reserve(owners.size() + static_cast<size_t>(names.Num()));
        for (int32_t i = 0; i < names.Num(); ++i) {
            if (ids.IsValidIndex(i)) {
                const auto playerId = static_cast<int32_t>(ids[i]);
                const FString eosId = EosIdForPlayer(playerId, effects);
                AddLine(lines, fmt::format(Messages::TribeMemberLine, ToAsciiText(names[i]),
                                           ToAsciiText(eosId)));
                owners.push_back({ToUtf8Text(names[i]), playerId, ToUtf8Text(eosId)});
            } else {
                AddLine(lines,
                        fmt::format(Messages::TribeMemberWithoutIdLine, ToAsciiText(names[i])));
                owners.push_back({ToUtf8Text(names[i]), std::nullopt, std::string()});
            }
        }
    });
}

// Only a player online now can teach the game mode an id it does not know; for anyone else the
// lookup would ask and change nothing.
void LearnIdOf(int32_t playerId, AuditEffects& effects) {
    if (IsOnlinePlayerId(playerId)) EosIdForPlayer(playerId, effects);
}

void AddOwnerLine(std::vector<std::string>& lines, std::vector<Owner>& owners, int32_t playerId,
                  AuditEffects& effects) {
    const FString eosId = EosIdForPlayer(playerId, effects);
    AShooterPlayerController* player = AsaApi::GetApiUtils().FindPlayerByEosId(eosId);
    const FString characterName = player != nullptr ? Game::PlayerCharacterName(player) : FString();
    AddLine(lines, fmt::format(Messages::OwnerLine, ToUtf8Text(characterName), ToAsciiText(eosId)));
    owners.push_back({ToUtf8Text(characterName), playerId, ToUtf8Text(eosId)});
}

}  // namespace

std::vector<std::string> TribeMemberLines(int32_t team, AuditEffects& effects,
                                          std::vector<Owner>& owners) {
    std::vector<std::string> lines;
    if (team >= Game::FirstTribeId)
        AddTribeLines(lines, owners, team, effects);
    else
        AddOwnerLine(lines, owners, team, effects);
    return lines;
}

void LearnOwnerIds(int32_t team, AuditEffects& effects) {
    if (team < Game::FirstTribeId) {
        LearnIdOf(team, effects);
        return;
    }
    VisitTribe(team, [&](const TArray<FString>& names, const TArray<uint32_t>& ids) {
        for (int32_t i = 0; i < names.Num() && ids.IsValidIndex(i); ++i)
            LearnIdOf(static_cast<int32_t>(ids[i]), effects);
    });
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0) joined += '\n';
        joined += lines[i];
    }
    return joined;
}

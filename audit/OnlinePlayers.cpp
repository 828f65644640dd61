#include "audit/OnlinePlayers.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "host/AsaApi.h"
#include "host/Game.h"

namespace {

struct CallIndex {
    int depth = 0;
    std::optional<std::vector<uint64_t>> sortedIds;
};

CallIndex& Index() {
    static CallIndex index;
    return index;
}

std::vector<uint64_t> OnlineIds() {
    std::vector<uint64_t> ids;
    UWorld* world = AsaApi::GetApiUtils().CurrentWorld();
    if (world == nullptr) return ids;
    const TArray<TWeakObjectPtr<APlayerController>>& controllers =
        Game::PlayerControllerList(world);
    ids.reserve(static_cast<size_t>(controllers.Num()));
    for (const auto& weakController : controllers)
        if (APlayerController* controller = weakController.Get())
            ids.push_back(Game::LinkedPlayerId(controller));
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

OnlinePlayersCall::OnlinePlayersCall() { ++Index().depth; }

OnlinePlayersCall::~OnlinePlayersCall() {
    if (--Index().depth == 0) Index().sortedIds.reset();
}

bool IsOnlinePlayerId(int32_t playerId) {
    const auto wanted = static_cast<uint64_t>(static_cast<int64_t>(playerId));
    CallIndex& index = Index();
    if (index.depth == 0) {
        const std::vector<uint64_t> ids = OnlineIds();
        return std::binary_search(ids.begin(), ids.end(), wanted);
    }
    if (!index.sortedIds) index.sortedIds = OnlineIds();
    return std::binary_search(index.sortedIds->begin(), index.sortedIds->end(), wanted);
}

#include "audit/ClaimedDestructions.h"

#include <algorithm>
#include <vector>

namespace {

// Only creatures whose destroy call failed stay here, so the list is short. Checks run on the game
// thread only.
std::vector<FWeakObjectPtr>& Claimed() {
    static std::vector<FWeakObjectPtr> claimed;
    return claimed;
}

auto Find(const FWeakObjectPtr& creature) {
    return std::find_if(Claimed().begin(), Claimed().end(), [&](const FWeakObjectPtr& entry) {
        return entry.ObjectIndex == creature.ObjectIndex &&
               entry.ObjectSerialNumber == creature.ObjectSerialNumber;
    });
}

}  // namespace

bool DestructionClaimed(const FWeakObjectPtr& creature) {
    return Find(creature) != Claimed().end();
}

void NoteDestructionClaimed(const FWeakObjectPtr& creature) {
    if (!DestructionClaimed(creature)) Claimed().push_back(creature);
}

void ForgetDestructionClaim(const FWeakObjectPtr& creature) {
    const auto found = Find(creature);
    if (found != Claimed().end()) Claimed().erase(found);
}

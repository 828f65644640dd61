#include "audit/HeldCreatures.h"

#include <chrono>
#include <exception>
#include <vector>

#include "audit/CheckDino.h"
#include "base/FailureLog.h"
#include "base/Logger.h"
#include "host/AsaApi.h"
#include "host/GameClock.h"
#include "host/Refused.h"

namespace {

constexpr const char* RetryCallbackId = "TWD.Journal.Retry";
constexpr auto RetryEvery = std::chrono::seconds(2);

struct Held {
    std::vector<TWeakObjectPtr<APrimalDinoCharacter>> creatures;
    GameClock::time_point nextTry{};
    bool registered = false;
    bool refused = false;  // the host refused the callback: they wait for the next load
};

Held& TheHeld() {
    static Held held;
    return held;
}

// The first held creature is checked again; when the journal took its record, so would it take
// the others', which are checked at once. A check that fails is said and its creature forgotten:
// the next load's sweep checks it.
void RetryHeld() noexcept {
    Held& held = TheHeld();
    try {
        if (held.creatures.empty() || GameClock::now() < held.nextTry) return;
        held.nextTry = GameClock::now() + RetryEvery;
        std::vector<TWeakObjectPtr<APrimalDinoCharacter>> waiting;
        waiting.swap(held.creatures);
        size_t next = 0;
        for (; next < waiting.size(); ++next) {
            const size_t heldBefore = held.creatures.size();
            try {
                CheckDino(waiting[next]);
            } catch (...) {
                LogCritical("Failed to check a held creature again! \n {}", CaughtText());
            }
            if (held.creatures.size() > heldBefore) break;  // the journal still refuses
        }
        for (++next; next < waiting.size(); ++next) held.creatures.push_back(waiting[next]);
    } catch (...) {
        LogCritical("Failed to check the held creatures again! \n {}", CaughtText());
    }
}

}  // namespace

void HoldCreature(const TWeakObjectPtr<APrimalDinoCharacter>& creature) noexcept {
    Held& held = TheHeld();
    try {
        held.creatures.push_back(creature);
        if (held.registered || held.refused) return;
        held.refused = true;
        held.nextTry = GameClock::now() + RetryEvery;
        AsaApi::GetCommands().RegisterUpdateCallback(FString(RetryCallbackId),
                                                     [](float) { RetryHeld(); });
        held.registered = true;
        held.refused = false;
    } catch (...) {
        // Still held: the next load's sweep checks it.
        LogCritical("Failed to register {}, held creatures wait for the next load! \n {}",
                    RetryCallbackId, CaughtText());
    }
}

size_t HeldCreatureCount() { return TheHeld().creatures.size(); }

void ForgetHeldCreatures() noexcept {
    Held& held = TheHeld();
    held.creatures.clear();
    held.refused = false;
    if (!held.registered) return;
    held.registered = false;
    try {
        ThrowIfRefused(AsaApi::GetCommands().UnregisterUpdateCallback(FString(RetryCallbackId)),
                       "ICommands::UnregisterUpdateCallback");
    } catch (...) {
        LogCritical("Failed to unregister {}, it stays registered! \n {}", RetryCallbackId,
                    CaughtText());
    }
}

#include "standin/Hooks.h"

#include "standin/Host.h"
#include "standin/Registry.h"

namespace standin {

bool Hooks::InstallHook(const std::string& functionName, void* detour, void** original) {
    if (STANDIN_REFUSABLE_HOST_OPERATION("IHooks::InstallHook")) return false;
    if (!GameRegistry().HasFunction(functionName) || detours.contains(functionName)) return false;
    *original = GameRegistry().Function(functionName);
    detours[functionName] = detour;
    Host::Get().events.Record({{"type", "hookInstalled"}, {"function", functionName}});
    return true;
}

bool Hooks::RemoveHook(const std::string& functionName, void* detour) {
    if (STANDIN_REFUSABLE_HOST_OPERATION("IHooks::RemoveHook")) return false;
    Host::Get().ThrowIfFaulty("RemoveHook");
    const auto found = detours.find(functionName);
    if (found == detours.end() || found->second != detour) return false;
    detours.erase(found);
    Host::Get().events.Record({{"type", "hookRemoved"}, {"function", functionName}});
    return true;
}

void* Hooks::Entry(const std::string& functionName) const {
    const auto found = detours.find(functionName);
    return found != detours.end() ? found->second : GameRegistry().GameOwnFunction(functionName);
}

bool Hooks::IsHooked(const std::string& functionName) const {
    return detours.contains(functionName);
}

}  // namespace standin

// Hook slots: the game calls a hookable function through its slot, which leads to the detour when
// one is installed; the detour reaches the game's own function through the stored entry.
#pragma once

#include <map>
#include <string>

#include "host/AsaApi.h"

namespace standin {

class Hooks : public AsaApi::IHooks {
public:
    bool RemoveHook(const std::string& functionName, void* detour) override;
    bool InstallHook(const std::string& functionName, void* detour, void** original) override;

    // The entry the game calls for that function: the detour if hooked, else the function.
    void* Entry(const std::string& functionName) const;
    bool IsHooked(const std::string& functionName) const;
    void Clear() { detours.clear(); }

private:
    std::map<std::string, void*> detours;
};

}  // namespace standin

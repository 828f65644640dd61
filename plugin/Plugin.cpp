#include "plugin/Plugin.h"

#include <exception>

#include "audit/CheckDino.h"
#include "host/AsaApi.h"
#include "host/Game.h"
#include "host/LibraryEntry.h"
#include "plugin/BeginPlayHook.h"
#include "plugin/Config.h"
#include "plugin/Logger.h"

// Constructed before Config (this file is linked first), destroyed after it.
std::string PluginName;

namespace {

constexpr const char* ReloadCommand = "tmwd.reload";

// Nothing may leave the entry into the host: a failure is logged and ends the step it happened in.
template <typename Step>
void Contained(const char* what, Step step) {
    try {
        step();
    } catch (const std::exception& error) {
        if (PluginLogger())
            PluginLogger()->critical("Failed to {} {}! \n {}", what, PluginName, error.what());
    } catch (...) {
        if (PluginLogger())
            PluginLogger()->critical("Failed to {} {}! \n unknown error", what, PluginName);
    }
}

}  // namespace

TAMEWARDEN_ENTRY int DllMain(void*, uint32_t reason, void*) {
    if (reason == 1) Contained("load", &PluginLoad);
    if (reason == 0) PluginUnload();
    return 1;
}

void PluginLoad() {
    PluginName = "TameWarden";
    InitLogger(PluginLogger());
    ReadConfig();
    AsaApi::GetHooks().InstallHook(Game::BeginPlayName, reinterpret_cast<void*>(&BeginPlayHook),
                                   reinterpret_cast<void**>(&UnhookedBeginPlay));
    StartupSweep();
    AsaApi::GetCommands().RegisterConsoleCommand(FString(ReloadCommand), &ReloadConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(ReloadCommand), &ReloadRconCommand);
}

// Each step is tried even when one before it failed: whatever stayed registered would lead the
// host into a library that is gone.
void PluginUnload() {
    Contained("unload", [] {
        AsaApi::GetHooks().RemoveHook(Game::BeginPlayName, reinterpret_cast<void*>(&BeginPlayHook));
    });
    Contained("unload",
              [] { AsaApi::GetCommands().UnregisterConsoleCommand(FString(ReloadCommand)); });
    Contained("unload",
              [] { AsaApi::GetCommands().UnregisterRconCommand(FString(ReloadCommand)); });
}

void StartupSweep() {
    if (AsaApi::GetApiUtils().CurrentWorld() == nullptr) return;
    UClass* dinoClass = Game::DinoClass();
    TArray<AActor*> actors;
    Game::AllActorsOfClass(AsaApi::GetApiUtils().CurrentWorld(), dinoClass, actors);
    for (AActor* actor : actors) {
        if (actor == nullptr) continue;
        if (!Game::IsChildOf(Game::ClassOf(Game::AsObject(actor)), Game::DinoClass())) continue;
        CheckDino(Game::MakeWeak(reinterpret_cast<APrimalDinoCharacter*>(actor)));
    }
    // TArray's destructor releases the storage with the engine allocator.
}

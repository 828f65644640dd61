#include "plugin/Plugin.h"

#include <exception>

#include "audit/CheckDino.h"
#include "audit/DestructionJournal.h"
#include "audit/WorldCreatures.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "host/AsaApi.h"
#include "host/Game.h"
#include "host/LibraryEntry.h"
#include "plugin/BeginPlayHook.h"
#include "plugin/CheckCounts.h"
#include "plugin/PreviewCommand.h"
#include "plugin/ReloadCommand.h"
#include "plugin/StatusCommand.h"

namespace {

constexpr const char* ReloadCommand = "tmwd.reload";
constexpr const char* StatusCommand = "tmwd.status";
constexpr const char* PreviewCommand = "tmwd.preview";

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
    OpenJournal();
    StartupSweep();
    AsaApi::GetCommands().RegisterConsoleCommand(FString(ReloadCommand), &ReloadConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(ReloadCommand), &ReloadRconCommand);
    AsaApi::GetCommands().RegisterConsoleCommand(FString(StatusCommand), &StatusConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(StatusCommand), &StatusRconCommand);
    AsaApi::GetCommands().RegisterConsoleCommand(FString(PreviewCommand), &PreviewConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(PreviewCommand), &PreviewRconCommand);
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
    Contained("unload",
              [] { AsaApi::GetCommands().UnregisterConsoleCommand(FString(StatusCommand)); });
    Contained("unload",
              [] { AsaApi::GetCommands().UnregisterRconCommand(FString(StatusCommand)); });
    Contained("unload",
              [] { AsaApi::GetCommands().UnregisterConsoleCommand(FString(PreviewCommand)); });
    Contained("unload",
              [] { AsaApi::GetCommands().UnregisterRconCommand(FString(PreviewCommand)); });
    Contained("unload", &CloseJournal);
}

void StartupSweep() {
    ForEachCreatureInWorld([](TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
        CheckDino(weakDino);
        ++TheCheckCounts().atLoad;
    });
}

CheckCounts& TheCheckCounts() {
    static CheckCounts counts;
    return counts;
}

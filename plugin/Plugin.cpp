#include "plugin/Plugin.h"

#include <exception>
#include <set>
#include <string>

#include "audit/CheckDino.h"
#include "audit/DestructionJournal.h"
#include "audit/HeldCreatures.h"
#include "audit/Outbox.h"
#include "audit/ServerSlot.h"
#include "audit/WorldCreatures.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "host/AsaApi.h"
#include "host/Game.h"
#include "host/LibraryEntry.h"
#include "host/Refused.h"
#include "plugin/BeginPlayHook.h"
#include "plugin/CheckCounts.h"
#include "plugin/LoadProgress.h"
#include "plugin/PreviewCommand.h"
#include "plugin/ReloadCommand.h"
#include "plugin/StatusCommand.h"

namespace {

constexpr const char* ReloadCommand = "tmwd.reload";
constexpr const char* StatusCommand = "tmwd.status";
constexpr const char* PreviewCommand = "tmwd.preview";
constexpr const char* Hook = "the hook on APrimalDinoCharacter.BeginPlay()";

std::string Console(const char* command) { return std::string("the console command ") + command; }
std::string Rcon(const char* command) { return std::string("the RCON command ") + command; }

// What this load registered with the host, in the words of the unload's lines: the host answers
// false to the removal of what was never registered, which is no refusal.
std::set<std::string>& Registered() {
    static std::set<std::string> registered;
    return registered;
}

// Nothing may leave the entry into the host: a failure is logged ("Failed to load TameWarden!")
// and ends the step it happened in. `describe` turns the error's text into the line's body.
template <typename Step, typename Describe>
void Contained(const char* what, const char* subject, Step step, Describe describe) {
    std::string error;
    try {
        step();
        return;
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    if (PluginLogger())
        PluginLogger()->critical("Failed to {} {}! \n {}", what,
                                 subject != nullptr ? subject : PluginName.c_str(),
                                 describe(error));
}

template <typename Step>
void Contained(const char* what, Step step) {
    Contained(what, nullptr, step, [](const std::string& error) { return error; });
}

// A command of our own: a refusal is logged and the load goes on, so the other steps run as
// they would without it.
template <typename Register>
void RegisterContained(const char* command, Register registration) {
    Contained("register", command, registration, [](const std::string& error) { return error; });
}

void LoadContained() {
    ForgetFailedConfigKey();
    Contained("load", nullptr, &PluginLoad, &StopLoad);
}

}  // namespace

TAMEWARDEN_ENTRY int DllMain(void*, uint32_t reason, void*) {
    if (reason == 1) LoadContained();
    if (reason == 0) PluginUnload();
    return 1;
}

// tmwd.status and tmwd.preview come right after the logger, so that they answer whichever step
// stops the load; each step is noted before it runs, so a failure names it.
void PluginLoad() {
    PluginName = "TameWarden";
    InitLogger(PluginLogger());
    ReserveServerSlot();
    RegisterContained(StatusCommand, [] {
        AsaApi::GetCommands().RegisterConsoleCommand(FString(StatusCommand), &StatusConsoleCommand);
        Registered().insert(Console(StatusCommand));
    });
    RegisterContained(StatusCommand, [] {
        AsaApi::GetCommands().RegisterRconCommand(FString(StatusCommand), &StatusRconCommand);
        Registered().insert(Rcon(StatusCommand));
    });
    RegisterContained(PreviewCommand, [] {
        AsaApi::GetCommands().RegisterConsoleCommand(FString(PreviewCommand),
                                                     &PreviewConsoleCommand);
        Registered().insert(Console(PreviewCommand));
    });
    RegisterContained(PreviewCommand, [] {
        AsaApi::GetCommands().RegisterRconCommand(FString(PreviewCommand), &PreviewRconCommand);
        Registered().insert(Rcon(PreviewCommand));
    });
    ReachLoadStep(LoadStep::ReadConfig);
    ReadConfig();
    ReachLoadStep(LoadStep::InstallHook);
    ThrowIfRefused(
        AsaApi::GetHooks().InstallHook(Game::BeginPlayName, reinterpret_cast<void*>(&BeginPlayHook),
                                       reinterpret_cast<void**>(&UnhookedBeginPlay)),
        "IHooks::InstallHook");
    Registered().insert(Hook);
    ReachLoadStep(LoadStep::StartupSweep);
    OpenJournal();
    OpenOutbox();
    StartupSweep();
    ReachLoadStep(LoadStep::RegisterReload);
    AsaApi::GetCommands().RegisterConsoleCommand(FString(ReloadCommand), &ReloadConsoleCommand);
    Registered().insert(Console(ReloadCommand));
    AsaApi::GetCommands().RegisterRconCommand(FString(ReloadCommand), &ReloadRconCommand);
    Registered().insert(Rcon(ReloadCommand));
    ReachLoadStep(LoadStep::Done);
}

namespace {

// A removal the host refused (by throwing, or by answering false for what this load registered)
// leaves a registration that leads into a library about to go: the line names it.
template <typename Removal>
void RemoveContained(const std::string& what, const char* operation, Removal removal) {
    Contained(
        "unload", nullptr,
        [&] {
            const bool done = removal();
            if (Registered().erase(what) != 0) ThrowIfRefused(done, operation);
        },
        [&what](const std::string& error) { return what + " stays registered: " + error; });
}

template <typename Removal>
void RemoveCommandContained(const std::string& what, Removal removal) {
    const bool console = what.starts_with("the console");
    RemoveContained(
        what, console ? "ICommands::UnregisterConsoleCommand" : "ICommands::UnregisterRconCommand",
        removal);
}

}  // namespace

// Each step is tried even when one before it failed: whatever stayed registered would lead the
// host into a library that is gone. Our own commands go last, the mirror of the load.
void PluginUnload() {
    RemoveContained(Hook, "IHooks::RemoveHook", [] {
        return AsaApi::GetHooks().RemoveHook(Game::BeginPlayName,
                                             reinterpret_cast<void*>(&BeginPlayHook));
    });
    RemoveCommandContained(Console(ReloadCommand), [] {
        return AsaApi::GetCommands().UnregisterConsoleCommand(FString(ReloadCommand));
    });
    RemoveCommandContained(Rcon(ReloadCommand), [] {
        return AsaApi::GetCommands().UnregisterRconCommand(FString(ReloadCommand));
    });
    Contained("unload", &CloseJournal);
    Contained("unload", &ForgetHeldCreatures);
    RemoveCommandContained(Console(PreviewCommand), [] {
        return AsaApi::GetCommands().UnregisterConsoleCommand(FString(PreviewCommand));
    });
    RemoveCommandContained(Rcon(PreviewCommand), [] {
        return AsaApi::GetCommands().UnregisterRconCommand(FString(PreviewCommand));
    });
    RemoveCommandContained(Console(StatusCommand), [] {
        return AsaApi::GetCommands().UnregisterConsoleCommand(FString(StatusCommand));
    });
    RemoveCommandContained(Rcon(StatusCommand), [] {
        return AsaApi::GetCommands().UnregisterRconCommand(FString(StatusCommand));
    });
}

// The sweep's reports reach the system before the load goes on, also when a check stops it:
// they are the ones most wanted after a crash later in the load.
void StartupSweep() {
    const OutboxWrittenAtEnd spooled;
    ForEachCreatureInWorld([](TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
        CheckDino(weakDino);
        ++TheCheckCounts().atLoad;
    });
}

CheckCounts& TheCheckCounts() {
    static CheckCounts counts;
    return counts;
}

#include "plugin/Plugin.h"

#include <exception>
#include <set>
#include <string>

#include "audit/CheckDino.h"
#include "audit/DestroyBrake.h"
#include "audit/DestructionJournal.h"
#include "audit/HeldCreatures.h"
#include "audit/Outbox.h"
#include "audit/Preview.h"
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
#include "plugin/RecheckCommand.h"
#include "plugin/ReleaseCommand.h"
#include "plugin/ReloadCommand.h"
#include "plugin/StatusCommand.h"

namespace {

// While a good reload finishes a load that waited for its config, tmwd.reload is registered.
bool reloadRegisteredWhileWaiting = false;

constexpr const char* ReloadCommand = "tmwd.reload";
constexpr const char* StatusCommand = "tmwd.status";
constexpr const char* PreviewCommand = "tmwd.preview";
constexpr const char* ReleaseCommand = "tmwd.release";
constexpr const char* RecheckCommand = "tmwd.recheck";
constexpr const char* Hook = "the hook on APrimalDinoCharacter.BeginPlay()";

std::string Console(const char* command) { return std::string("the console command ") + command; }
std::string Rcon(const char* command) { return std::string("the RCON command ") + command; }

// What this load registered with the host, in the words of the unload's lines: the host answers
// false to the removal of what was never registered, which is no refusal.
std::set<std::string>& Registered() {
    static std::set<std::string> registered;
    return registered;
}

void RegisterConsole(const char* command, const AsaApi::ConsoleCommandCallback& callback) {
    AsaApi::GetCommands().RegisterConsoleCommand(FString(command), callback);
    Registered().insert(Console(command));
}

void RegisterRcon(const char* command, const AsaApi::RconCommandCallback& callback) {
    AsaApi::GetCommands().RegisterRconCommand(FString(command), callback);
    Registered().insert(Rcon(command));
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

void RegisterReload() {
    RegisterConsole(ReloadCommand, &ReloadConsoleCommand);
    RegisterRcon(ReloadCommand, &ReloadRconCommand);
}

// A load the config stopped costs no restart: tmwd.reload is there to put a corrected file in
// force, and the good reload finishes the load.
void RegisterReloadWhileWaiting() {
    if (!TheLoadProgress().waitsForConfig) return;
    bool registered = false;
    RegisterContained(ReloadCommand, [&registered] {
        RegisterReload();
        registered = true;
    });
    if (!registered) NoteReloadNotRegistered();
}

void LoadContained() {
    ForgetFailedConfigKey();
    Contained("load", nullptr, &PluginLoad, &StopLoad);
    RegisterReloadWhileWaiting();
}

// The load's steps after the config was read, from the one the load reached, in their order.
void RunLoadStepsFrom(LoadStep step) {
    if (step <= LoadStep::InstallHook) {
        ReachLoadStep(LoadStep::InstallHook);
        ThrowIfRefused(AsaApi::GetHooks().InstallHook(Game::BeginPlayName,
                                                      reinterpret_cast<void*>(&BeginPlayHook),
                                                      reinterpret_cast<void**>(&UnhookedBeginPlay)),
                       "IHooks::InstallHook");
        Registered().insert(Hook);
    }
    ReachLoadStep(LoadStep::StartupSweep);
    OpenJournal();
    OpenOutbox();
    StartupSweep();
    ReachLoadStep(LoadStep::RegisterReload);
    if (!reloadRegisteredWhileWaiting) RegisterReload();
    RegisterConsole(ReleaseCommand, &ReleaseConsoleCommand);
    RegisterRcon(ReleaseCommand, &ReleaseRconCommand);
    RegisterConsole(RecheckCommand, &RecheckConsoleCommand);
    RegisterRcon(RecheckCommand, &RecheckRconCommand);
    ReachLoadStep(LoadStep::Done);
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
    RegisterContained(StatusCommand, [] { RegisterConsole(StatusCommand, &StatusConsoleCommand); });
    RegisterContained(StatusCommand, [] { RegisterRcon(StatusCommand, &StatusRconCommand); });
    RegisterContained(PreviewCommand,
                      [] { RegisterConsole(PreviewCommand, &PreviewConsoleCommand); });
    RegisterContained(PreviewCommand, [] { RegisterRcon(PreviewCommand, &PreviewRconCommand); });
    ReachLoadStep(LoadStep::ReadConfig);
    ReadConfig();
    RunLoadStepsFrom(LoadStep::InstallHook);
}

// Run by a good reload while the load waits for its config. A step that fails now stops the load
// as it would have then, with the same line.
void FinishWaitingLoad() {
    const LoadProgress& progress = TheLoadProgress();
    if (!progress.waitsForConfig) return;
    const LoadStep step = progress.step;
    ResumeLoad();
    reloadRegisteredWhileWaiting = true;
    ForgetFailedConfigKey();
    Contained(
        "load", nullptr, [step] { RunLoadStepsFrom(step); }, &StopLoad);
    reloadRegisteredWhileWaiting = false;
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

void RemoveCommands(const char* command) {
    RemoveContained(Console(command), "ICommands::UnregisterConsoleCommand", [command] {
        return AsaApi::GetCommands().UnregisterConsoleCommand(FString(command));
    });
    RemoveContained(Rcon(command), "ICommands::UnregisterRconCommand", [command] {
        return AsaApi::GetCommands().UnregisterRconCommand(FString(command));
    });
}

}  // namespace

// Each step is tried even when one before it failed: whatever stayed registered would lead the
// host into a library that is gone. Our own commands go last, the mirror of the load.
void PluginUnload() {
    RemoveContained(Hook, "IHooks::RemoveHook", [] {
        return AsaApi::GetHooks().RemoveHook(Game::BeginPlayName,
                                             reinterpret_cast<void*>(&BeginPlayHook));
    });
    RemoveCommands(ReloadCommand);
    RemoveCommands(ReleaseCommand);
    RemoveCommands(RecheckCommand);
    Contained("unload", &CloseJournal);
    Contained("unload", &ForgetHeldCreatures);
    RemoveCommands(PreviewCommand);
    RemoveCommands(StatusCommand);
}

// The sweep's reports reach the system before the load goes on, also when a check stops it: they
// are the ones most wanted after a crash later in the load.
// With the brake on, a sweep that would destroy more than its limit destroys none: it is previewed
// first.
void StartupSweep() {
    const OutboxWrittenAtEnd spooled;
    const ConfigSnapshot& config = CurrentConfig();
    const WorldPassUnderBrake underBrake(
        BrakeOn(config) ? PreviewWorld(config).tallies : RuleTallies{}, config,
        "the start-up sweep");
    ForEachCreatureInWorld([](TWeakObjectPtr<APrimalDinoCharacter> weakDino) {
        CheckDino(weakDino);
        ++TheCheckCounts().atLoad;
    });
}

CheckCounts& TheCheckCounts() {
    static CheckCounts counts;
    return counts;
}

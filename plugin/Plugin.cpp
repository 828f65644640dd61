#include "plugin/Plugin.h"

#include <exception>
#include <string>

#include "audit/CheckDino.h"
#include "audit/DestroyBrake.h"
#include "audit/DestructionJournal.h"
#include "audit/Preview.h"
#include "audit/WorldCreatures.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "host/AsaApi.h"
#include "host/Game.h"
#include "host/LibraryEntry.h"
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
    AsaApi::GetCommands().RegisterConsoleCommand(FString(ReloadCommand), &ReloadConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(ReloadCommand), &ReloadRconCommand);
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
        AsaApi::GetHooks().InstallHook(Game::BeginPlayName, reinterpret_cast<void*>(&BeginPlayHook),
                                       reinterpret_cast<void**>(&UnhookedBeginPlay));
    }
    ReachLoadStep(LoadStep::StartupSweep);
    OpenJournal();
    StartupSweep();
    ReachLoadStep(LoadStep::RegisterReload);
    if (!reloadRegisteredWhileWaiting) RegisterReload();
    AsaApi::GetCommands().RegisterConsoleCommand(FString(ReleaseCommand), &ReleaseConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(ReleaseCommand), &ReleaseRconCommand);
    AsaApi::GetCommands().RegisterConsoleCommand(FString(RecheckCommand), &RecheckConsoleCommand);
    AsaApi::GetCommands().RegisterRconCommand(FString(RecheckCommand), &RecheckRconCommand);
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
    RegisterContained(StatusCommand, [] {
        AsaApi::GetCommands().RegisterConsoleCommand(FString(StatusCommand), &StatusConsoleCommand);
    });
    RegisterContained(StatusCommand, [] {
        AsaApi::GetCommands().RegisterRconCommand(FString(StatusCommand), &StatusRconCommand);
    });
    RegisterContained(PreviewCommand, [] {
        AsaApi::GetCommands().RegisterConsoleCommand(FString(PreviewCommand),
                                                     &PreviewConsoleCommand);
    });
    RegisterContained(PreviewCommand, [] {
        AsaApi::GetCommands().RegisterRconCommand(FString(PreviewCommand), &PreviewRconCommand);
    });
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

// A removal the host refused leaves a registration that leads into a library about to go: the
// line names it.
template <typename Removal>
void RemoveContained(const char* what, Removal removal) {
    Contained("unload", nullptr, removal, [what](const std::string& error) {
        return std::string(what) + " stays registered: " + error;
    });
}

}  // namespace

// Each step is tried even when one before it failed: whatever stayed registered would lead the
// host into a library that is gone. Our own commands go last, the mirror of the load.
void PluginUnload() {
    RemoveContained("the hook on APrimalDinoCharacter.BeginPlay()", [] {
        AsaApi::GetHooks().RemoveHook(Game::BeginPlayName, reinterpret_cast<void*>(&BeginPlayHook));
    });
    RemoveContained("the console command tmwd.reload",
                    [] { AsaApi::GetCommands().UnregisterConsoleCommand(FString(ReloadCommand)); });
    RemoveContained("the RCON command tmwd.reload",
                    [] { AsaApi::GetCommands().UnregisterRconCommand(FString(ReloadCommand)); });
    RemoveContained("the console command tmwd.release", [] {
        AsaApi::GetCommands().UnregisterConsoleCommand(FString(ReleaseCommand));
    });
    RemoveContained("the RCON command tmwd.release",
                    [] { AsaApi::GetCommands().UnregisterRconCommand(FString(ReleaseCommand)); });
    RemoveContained("the console command tmwd.recheck", [] {
        AsaApi::GetCommands().UnregisterConsoleCommand(FString(RecheckCommand));
    });
    RemoveContained("the RCON command tmwd.recheck",
                    [] { AsaApi::GetCommands().UnregisterRconCommand(FString(RecheckCommand)); });
    Contained("unload", &CloseJournal);
    RemoveContained("the console command tmwd.preview", [] {
        AsaApi::GetCommands().UnregisterConsoleCommand(FString(PreviewCommand));
    });
    RemoveContained("the RCON command tmwd.preview",
                    [] { AsaApi::GetCommands().UnregisterRconCommand(FString(PreviewCommand)); });
    RemoveContained("the console command tmwd.status",
                    [] { AsaApi::GetCommands().UnregisterConsoleCommand(FString(StatusCommand)); });
    RemoveContained("the RCON command tmwd.status",
                    [] { AsaApi::GetCommands().UnregisterRconCommand(FString(StatusCommand)); });
}

// The sweep's records reach the system before the load goes on, also when a check stops it: they
// are the ones most wanted after a crash later in the load.
// With the brake on, a sweep that would destroy more than its limit destroys none: it is previewed
// first.
void StartupSweep() {
    const JournalWrittenAtEnd written;
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

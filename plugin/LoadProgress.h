// How far the plugin's load went: the step it reached and, when a step failed, why, so that the
// failure line and tmwd.status can tell an operator what stopped and what to do.
#pragma once

#include <string>

// The load's steps after the logger, in their order.
enum class LoadStep { ReadConfig, InstallHook, StartupSweep, RegisterReload, Done };

// "reading the config", "installing the BeginPlay hook", "the start-up sweep",
// "registering tmwd.reload", "done".
const char* LoadStepName(LoadStep step);

struct LoadProgress {
    LoadStep step = LoadStep::ReadConfig;
    // Why the step failed, empty while none did: the key where a check stopped and the config
    // file, or the file alone when it could not be read, then the error's own text.
    std::string failure;
    // What the operator has to do after a failure: "fix the file and run tmwd.reload", or
    // "load the plugin again" when the file is not at fault.
    std::string advice;
    // The config stopped the load: tmwd.reload is registered all the same, and a good reload
    // runs the steps that did not run.
    bool waitsForConfig = false;
};

const LoadProgress& TheLoadProgress();
void ReachLoadStep(LoadStep step);
// Records that the step reached last failed with `error`; returns the body of the failure line,
// which ends with what the operator has to do.
std::string StopLoad(const std::string& error);

// tmwd.reload could not be registered for a load that waits for its config: only a new load helps.
void NoteReloadNotRegistered();
// A good reload resumes a load that waits for its config: the failure is forgotten.
void ResumeLoad();

// What applies a corrected file: a reload, or a new load when tmwd.reload was never registered.
const char* HowToApplyAFix();
// No configuration was ever put in force: the load stopped reading it.
bool NoConfigInForce();

#include "plugin/LoadProgress.h"

#include "base/Config.h"

namespace {

LoadProgress& Progress() {
    static LoadProgress progress;
    return progress;
}

}  // namespace

const char* LoadStepName(LoadStep step) {
    switch (step) {
        case LoadStep::ReadConfig:
            return "reading the config";
        case LoadStep::InstallHook:
            return "installing the BeginPlay hook";
        case LoadStep::StartupSweep:
            return "the start-up sweep";
        case LoadStep::RegisterReload:
            return "registering tmwd.reload";
        case LoadStep::Done:
            return "done";
    }
    return "";
}

const LoadProgress& TheLoadProgress() { return Progress(); }

void ReachLoadStep(LoadStep step) { Progress().step = step; }

// A check stopped at a key, or the file itself could not be read: the file is what to fix.
// Anything else came from the host, and only a new load can help.
std::string StopLoad(const std::string& error) {
    LoadProgress& progress = Progress();
    const std::string key = LastFailedConfigKey();
    const std::string& file = LastConfigFilePath();
    const bool fileAtFault = !key.empty() || progress.step == LoadStep::ReadConfig;
    progress.failure = progress.step == LoadStep::ReadConfig && !file.empty()
                           ? file + ": " + error
                           : WhereCheckStopped(key, file, error);
    progress.waitsForConfig = fileAtFault;
    progress.advice = fileAtFault ? "fix the file and run tmwd.reload" : "load the plugin again";
    return "stopped at " + std::string(LoadStepName(progress.step)) + ": " + progress.failure +
           "; " + progress.advice;
}

void NoteReloadNotRegistered() {
    Progress().waitsForConfig = false;
    Progress().advice = "fix the file and load the plugin again";
}

void ResumeLoad() {
    Progress().failure.clear();
    Progress().advice.clear();
    Progress().waitsForConfig = false;
}

const char* HowToApplyAFix() {
    return Progress().step == LoadStep::Done || Progress().waitsForConfig
               ? "fix the file and run tmwd.reload"
               : "fix the file and load the plugin again";
}

bool NoConfigInForce() {
    return Progress().step == LoadStep::ReadConfig && !Progress().failure.empty();
}

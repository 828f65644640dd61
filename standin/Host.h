// The stand-in host's process-wide state: the object table, hooks, command registries, the current
// world, the working directory, the log sinks and the event record.
#pragma once

#include <spdlog/common.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "host/GameClock.h"
#include "standin/Commands.h"
#include "standin/Events.h"
#include "standin/Faults.h"
#include "standin/Hooks.h"
#include "standin/ObjectTable.h"
#include "standin/World.h"

namespace standin {

// What a faulty host operation throws: deliberately not a std::exception.
struct UnknownHostFault {};

struct EngineClasses {
    UClass object, actor, character, dino, playerController, scriptStruct;
    UStruct tribeData;
};

struct Host {
    static Host& Get();

    ObjectTable objects;
    EngineClasses classes;
    Hooks hooks;
    Commands commands;
    Events events;
    std::unique_ptr<World> world;  // null: the server has no world yet
    std::string currentDir = ".";
    std::vector<spdlog::sink_ptr> logSinks;
    bool printReplies = false;  // also show console replies on the terminal
    bool colourOutput = false;  // what is printed may carry colour codes: the output is a terminal
    bool sendRequests = true;   // false: posts are recorded but never sent (a dry run)
    // With sendRequests false, how each post is answered: refused, accepted as by a chat that
    // takes all, or never, as by a peer that holds every post however long the wait.
    enum class UnsentPosts { Refused, Accepted, Unanswered };
    UnsentPosts unsentPosts = UnsentPosts::Refused;
    // Each creature a weak reference resolves to is recorded ("resolved"), so a dry run can tell
    // which creature each check was about.
    bool recordResolutions = false;
    // CurrentWorld() answers null while the game mode is still there, as between maps.
    bool currentWorldMissing = false;
    // A host operation that throws something not derived from std::exception, as a faulty host
    // may: its name as the plugin calls it ("RemoveHook", "FWeakObjectPtr.Get()", ...).
    std::string throwUnknownFrom;
    // The fault loop's failures of the plugin's host calls.
    Faults& faults = HostFaults();
    // How far the game clock runs ahead of the steady clock: time the stand-in skipped.
    GameClock::duration clockAdvance{};
    // Asked before each of the plugin's file operations, by its name ("AppendBytes",
    // "RenameFile", ...): the system error number to fail it with, 0 for none. Empty: none fails.
    std::function<int(std::string_view)> simulatedFileError;
    // Journal files rotate past this many bytes instead of the plugin's own size; 0 for that.
    uint64_t journalRotationBytes = 0;

    // Throws UnknownHostFault when `operation` is the one set to fail.
    void ThrowIfFaulty(std::string_view operation) const;

    // Back to a fresh host: no world, no registrations, no events; the sinks are kept.
    void Reset();

private:
    Host();
};

}  // namespace standin

// Failing the host's operations on purpose, one at a time, counted across a run: what the fault
// loop uses to fail the Nth operation the plugin calls once, or every one from the Nth on. Only the
// plugin's own calls count, found by the code they return to: the stand-in's own use of the same
// operations (building a world, answering a call) is not a call of the plugin.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace standin {

// Whether a fault loop counts or fails anything. A host operation tests it first, so while none
// runs it costs the operation one test: the benchmarks measure the plugin, not the fault loop.
extern bool faultLoopRunning;

class Faults {
public:
    enum class Span { Once, FromThereOn };
    // How the failing operation fails: by throwing (a file operation: with a full disk), by
    // answering null where the host's contract allows null (the world, the game mode, a status
    // component, a player), by answering false where a bool says whether it was done (a hook, an
    // unregistration, a post, the game's destroy), or, for a file operation, with an I/O error, a
    // permission error, or a write that fails after part of its bytes reached the disk.
    enum class Kind {
        Throw,
        NullWhereAllowed,
        AnswerFalse,
        IoError,
        PermissionError,
        PartialWrite
    };
    // Which other ways than throwing an operation can fail.
    enum class Shape { Plain, Nullable, Refusable, File };

    struct Operation {
        std::string name;
        Shape shape = Shape::Plain;
    };

    // Counts and names the plugin's operations; fails none.
    void Count(std::string pluginFileName);
    // Fails the operation numbered `failing` (from 1), or every one from it on.
    void Arm(std::string pluginFileName, uint64_t failing, Span span, Kind kind);
    // Back to no counting at all.
    void Stop();

    // The host operation `operation`, called from the code at `caller`: throws std::runtime_error
    // ("simulated fault in ...") when it is the one to fail.
    void Enter(std::string_view operation, const void* caller) {
        if (faultLoopRunning) Decide(operation, caller, Shape::Plain);
    }
    // The same for an operation that may answer null: true when it is to fail that way.
    bool EnterNullable(std::string_view operation, const void* caller) {
        return faultLoopRunning && Decide(operation, caller, Shape::Nullable);
    }
    // The same for an operation whose false answer says it was not done: true when it is to
    // answer false.
    bool EnterRefusable(std::string_view operation, const void* caller) {
        return faultLoopRunning && Decide(operation, caller, Shape::Refusable);
    }
    // A file operation of the plugin: the system's error number to fail with, 0 for none;
    // negative for a write that fails after part of its bytes reached the disk.
    int EnterFile(std::string_view operation, const void* caller);

    uint64_t Counted() const { return counted; }
    // While counting: each operation in the order the plugin called it.
    const std::vector<Operation>& Operations() const { return operations; }
    // The operations that failed in this run.
    const std::set<std::string>& Failed() const { return failed; }

private:
    bool Decide(std::string_view operation, const void* caller, Shape shape);
    bool IsPluginCode(const void* address) const;

    bool recording = false;
    std::string plugin;
    uint64_t failing = 0;
    Span span = Span::Once;
    Kind kind = Kind::Throw;
    uint64_t counted = 0;
    std::vector<Operation> operations;
    std::set<std::string> failed;
};

// The one set of faults. Apart from the Host, which the host operations it counts help to build.
Faults& HostFaults();

// The file name of the module that holds `address` ("TameWarden.so"), empty when none does.
std::string ModuleFileNameOf(const void* address);

}  // namespace standin

// A host operation's first line: counts it, and fails it when the fault loop says so.
#define STANDIN_HOST_OPERATION(name)                                          \
    do {                                                                      \
        if (::standin::faultLoopRunning)                                      \
            ::standin::HostFaults().Enter(name, __builtin_return_address(0)); \
    } while (false)
#define STANDIN_NULLABLE_HOST_OPERATION(name) \
    (::standin::faultLoopRunning &&           \
     ::standin::HostFaults().EnterNullable(name, __builtin_return_address(0)))
// The same for an operation that answers whether it was done: true when it is to answer false.
#define STANDIN_REFUSABLE_HOST_OPERATION(name) \
    (::standin::faultLoopRunning &&            \
     ::standin::HostFaults().EnterRefusable(name, __builtin_return_address(0)))

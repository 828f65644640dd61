#include "standin/Faults.h"

#include <cerrno>
#include <stdexcept>

namespace standin {

bool faultLoopRunning = false;

Faults& HostFaults() {
    static Faults faults;
    return faults;
}

void Faults::Count(std::string pluginFileName) {
    Arm(std::move(pluginFileName), 0, Span::Once, Kind::Throw);
    recording = true;
}

void Faults::Arm(std::string pluginFileName, uint64_t failingOperation, Span failingSpan,
                 Kind failingKind) {
    faultLoopRunning = true;
    recording = false;
    plugin = std::move(pluginFileName);
    failing = failingOperation;
    span = failingSpan;
    kind = failingKind;
    counted = 0;
    operations.clear();
    failed.clear();
}

void Faults::Stop() { faultLoopRunning = false; }

// True when the operation is to fail in a way of its shape; throws when it is to fail by
// throwing, as every operation may.
bool Faults::Decide(std::string_view operation, const void* caller, Shape shape) {
    if (!IsPluginCode(caller)) return false;
    ++counted;
    if (recording) operations.push_back({std::string(operation), shape});
    const bool fails =
        failing != 0 && (span == Span::Once ? counted == failing : counted >= failing);
    if (!fails) return false;
    failed.emplace(operation);
    const bool fileKind =
        kind == Kind::IoError || kind == Kind::PermissionError || kind == Kind::PartialWrite;
    if ((shape == Shape::Nullable && kind == Kind::NullWhereAllowed) ||
        (shape == Shape::Refusable && kind == Kind::AnswerFalse) ||
        (shape == Shape::File && fileKind))
        return true;
    throw std::runtime_error("simulated fault in " + std::string(operation));
}

// A full disk is what a journal meets most often.
int Faults::EnterFile(std::string_view operation, const void* caller) {
    if (!faultLoopRunning) return 0;
    try {
        if (!Decide(operation, caller, Shape::File)) return 0;
    } catch (const std::runtime_error&) {
        return ENOSPC;
    }
    switch (kind) {
        case Kind::IoError:
            return EIO;
        case Kind::PermissionError:
            return EACCES;
        case Kind::PartialWrite:
            return operation.ends_with("AppendBytes") ? -ENOSPC : ENOSPC;
        default:
            return ENOSPC;
    }
}

bool Faults::IsPluginCode(const void* address) const {
    return !plugin.empty() && ModuleFileNameOf(address) == plugin;
}

}  // namespace standin

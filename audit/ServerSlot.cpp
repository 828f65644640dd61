#include "audit/ServerSlot.h"

#include <stdexcept>

#include "base/Config.h"
#include "base/Format.h"
#include "base/Logger.h"
#include "host/SystemFiles.h"

namespace {

// More servers than this from one installation would be a misconfiguration, not a cluster.
constexpr int MostSlots = 64;

// The lock ends with the file, whatever the close reports, also when the process ends.
struct Slot {
    int number = 0;
    SystemFile lock;
    ~Slot() {
        if (number == 0) return;
        const int error = CloseFile(lock);
        try {
            if (error != 0 && PluginLogger())
                PluginLogger()->warn("Closing the lock of server slot {} reported: {}", number,
                                     FileErrorText(error));
        } catch (...) {
            // Nothing is left to tell it with.
        }
    }
};

Slot& TheSlot() {
    static Slot slot;
    return slot;
}

}  // namespace

int ServerSlot() {
    Slot& slot = TheSlot();
    if (slot.number != 0) return slot.number;
    const std::string folder = Utf8Path(ConfigFilePath().parent_path());
    if (const FolderMade made = CreateFolder(folder); made.error != 0)
        throw std::runtime_error(fmt::format("{}: {}", folder, FileErrorText(made.error)));
    for (int number = 1; number <= MostSlots; ++number) {
        const std::string path = fmt::format("{}/server-{}.lock", folder, number);
        const FileLocked locked = OpenLocked(path);
        if (locked.heldByOther) continue;
        if (locked.error != 0)
            throw std::runtime_error(fmt::format("{}: {}", path, FileErrorText(locked.error)));
        slot.number = number;
        slot.lock = locked.file;
        return number;
    }
    throw std::runtime_error(
        fmt::format("{}: all {} server locks are held by other servers", folder, MostSlots));
}

void ReserveServerSlot() noexcept {
    try {
        TheSlot();
        ServerSlot();
    } catch (const std::exception& error) {
        if (PluginLogger())
            PluginLogger()->warn("No server slot yet, the journal and the outbox try again: {}",
                                 error.what());
    } catch (...) {
        // The journal and the outbox say it when they need the slot.
    }
}

std::string ServerFileName(std::string_view stem, std::string_view extension, int slot) {
    return slot == 1 ? fmt::format("{}{}", stem, extension)
                     : fmt::format("{}.{}{}", stem, slot, extension);
}

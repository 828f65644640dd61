// Which of the servers that share one plugin folder this process is. Each holds the lock of one
// slot (server-1.lock, server-2.lock, ...) from its first file until unload and names its files
// after it, so that no two servers write or rename the same file. Slot 1 keeps the plain names.
#pragma once

#include <string>
#include <string_view>

// This process's slot, taken at the first call and kept until the library goes. Throws
// std::runtime_error naming the lock file and the reason when none can be had.
int ServerSlot();
// Takes the slot at load, before any file of it is opened, so that its lock outlives them all:
// the outbox writes its spool at the library's teardown. A failure is said by the files that
// need the slot.
void ReserveServerSlot() noexcept;

// A file of slot `slot`'s own: "destroyed.jsonl" for slot 1, "destroyed.2.jsonl" for slot 2.
std::string ServerFileName(std::string_view stem, std::string_view extension, int slot);

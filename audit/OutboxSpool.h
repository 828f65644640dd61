// The outbox's posts on disk, in ArkApi/Plugins/TameWarden/outbox.jsonl, so that a restart or a
// crash loses none: one JSON line per post as it is handed over, one line when it is delivered or
// given up. Lines are formatted into memory on the game thread and handed to the operating system
// by the end of the tick; the file is emptied whenever nothing waits. A spool that cannot be read
// or written is said once and given up: the outbox goes on in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/Format.h"
#include "host/SystemFiles.h"

// The spool of this server: outbox.jsonl beside config.json for the first server of the folder,
// outbox.2.jsonl for the second, ...
std::filesystem::path OutboxSpoolPath();

class OutboxSpool {
public:
    // Lines waiting beyond this many bytes are written at once, not at the end of the tick.
    static constexpr size_t WriteAtBytes = 1024 * 1024;

    // A post as the spool keeps it: no URL, which only the config holds.
    struct Entry {
        uint64_t number = 0;
        std::string rule;  // its name: "over-level"
        std::string creature;
        int32_t level = 0;
        std::string body;
    };

    OutboxSpool() = default;
    OutboxSpool(const OutboxSpool&) = delete;
    OutboxSpool& operator=(const OutboxSpool&) = delete;

    // Reads the posts still waiting in OutboxSpoolPath(), oldest first, and opens it for what
    // comes.
    std::vector<Entry> Open() noexcept;
    bool IsOpen() const { return file.IsOpen(); }
    // Whether the spool was given up; Trouble() says why.
    bool Failed() const { return failed; }
    const std::string& Trouble() const { return trouble; }
    // The file's name, "outbox.jsonl".
    std::string FileName() const;
    // Whether the file holds lines, or will at the next write.
    bool HoldsLines() const { return !failed && (fileBytes > 0 || unwritten.size() > 0); }

    // Takes a post in; its number in the spool.
    uint64_t Add(std::string_view rule, const std::string& creature, int32_t level,
                 const std::string& body) noexcept;
    // The post reached the chat, or was given up: it is not sent again.
    void Done(uint64_t number, bool delivered) noexcept;
    bool HasUnwritten() const { return unwritten.size() > 0; }
    // Hands the waiting lines to the system; when nothing waits any more the file is emptied
    // instead.
    void Write(bool nothingWaits) noexcept;
    // Writes what waits and closes the file.
    void Close(bool nothingWaits) noexcept;

    // Gives the spool up, said once.
    void Fail(const char* what, std::string_view reason) noexcept;

private:
    void ReadWaiting(std::vector<Entry>& entries);
    void AppendLine(std::string_view line) noexcept;
    void AppendUnwritten() noexcept;

    std::string path;  // UTF-8
    SystemFile file;
    uint64_t nextNumber = 1;
    uint64_t fileBytes = 0;  // what the file holds, as far as this spool wrote or read it
    bool endsInsideLine = false;
    fmt::memory_buffer unwritten;
    bool failed = false;
    std::string trouble;
};

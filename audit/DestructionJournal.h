// The destruction journal: one JSON line per creature the plugin destroyed, in
// ArkApi/Plugins/TameWarden/destroyed.jsonl. A record is formatted into memory on the game thread
// and handed to the operating system once per tick (or sooner when much is waiting), so a killed
// server keeps it; nothing waits for the disk. At 16 MiB the file is renamed
// destroyed-<UTC date and time>.jsonl and a new one begun.
#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "audit/DestructionRecord.h"
#include "base/ConfigSnapshot.h"

class DestructionJournal {
public:
    static constexpr uint64_t RotationSize = 16 * 1024 * 1024;
    // Records waiting beyond this many bytes are written at once, not at the end of the tick.
    static constexpr size_t WriteAtBytes = 1024 * 1024;
    static constexpr const char* UpdateCallbackId = "TWD.Journal.Write";

    struct Counts {
        uint64_t written = 0;     // handed to the operating system
        uint64_t notWritten = 0;  // lost to a file that could not be opened or written
    };

    DestructionJournal() = default;
    ~DestructionJournal();
    DestructionJournal(const DestructionJournal&) = delete;
    DestructionJournal& operator=(const DestructionJournal&) = delete;

    // Opens the file (creating it) and continues the numbering of its last record, or of the
    // newest rotated file's when it holds none.
    void Open(const std::filesystem::path& journalFile);
    // Formats the record; it reaches the file by the end of the tick.
    void Add(const DestructionRecord& record);
    // A record that could not be made: counted as not written, and said once per run of failures.
    void NotMade(const std::string& reason);
    // Hands what waits to the operating system.
    void Write();
    // Writes what waits, closes the file and unregisters the tick's write.
    void Close();

    const std::filesystem::path& Path() const { return path; }
    Counts Statistics() const { return counts; }

private:
    bool EnsureOpen();
    void RotateIfFull(size_t adding);
    void RegisterWrite();
    void UnregisterWrite();
    void Fail(const char* what, const std::string& reason);

    std::filesystem::path path;
    std::FILE* file = nullptr;
    uint64_t fileSize = 0;
    uint64_t lastSeq = 0;
    fmt::memory_buffer waiting;
    uint64_t waitingRecords = 0;
    bool failing = false;         // in a run of failures, already logged
    bool endsInsideLine = false;  // a failed write may have left part of a line
    bool rotationFailed = false;
    bool writeRegistered = false;
    bool writeRefused = false;
    Counts counts;
};

// The journal of the plugin's folder, created at the first use.
DestructionJournal& TheJournal();
// destroyed.jsonl beside config.json.
std::filesystem::path JournalFilePath();
// Whether the configuration keeps a journal; a key of the wrong type keeps it, since it changes
// nothing the checks do.
bool JournalEnabled(const ConfigSnapshot& config);

// At load, before the start-up sweep: opens the journal when the configuration keeps one.
void OpenJournal();
// At unload: writes what waits and closes the file.
void CloseJournal();

// Hands what waits to the system when it goes out of scope: at the end of a call of the host that
// may destroy creatures. Never throws.
struct JournalWrittenAtEnd {
    JournalWrittenAtEnd() = default;
    ~JournalWrittenAtEnd();
    JournalWrittenAtEnd(const JournalWrittenAtEnd&) = delete;
    JournalWrittenAtEnd& operator=(const JournalWrittenAtEnd&) = delete;
};

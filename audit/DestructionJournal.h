// The destruction journal: one JSON line per creature the plugin destroyed, in
// ArkApi/Plugins/TameWarden/destroyed.jsonl. A record is formatted into memory on the game thread
// and handed to the operating system by the end of the tick (or sooner when much is waiting), so
// a killed server keeps it; nothing waits for the disk. At 16 MiB the file is renamed
// destroyed-<UTC date and time>.jsonl and a new one begun. No failure of the journal leaves it:
// a record that cannot be made or written is counted as not written and logged.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "audit/DestructionRecord.h"
#include "base/ConfigSnapshotFwd.h"
#include "base/Format.h"
#include "host/SystemFiles.h"

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

    // Opens the file (creating it) and continues the numbering from the highest record in it and
    // in the folder's rotated files. What fails is logged and tried again at the next record.
    void Open(const std::filesystem::path& journalFile) noexcept;
    // The same for the plugin's own journal, JournalFilePath().
    void Open() noexcept;
    // Formats the record; it reaches the file by the end of the tick.
    void Add(const DestructionRecord& record) noexcept;
    // A record that could not be made: counted as not written, and said once per run of failures.
    void NotMade(const std::string& reason) noexcept;
    // Hands what waits to the operating system.
    void Write() noexcept;
    // Writes what waits, closes the file and unregisters the tick's write.
    void Close() noexcept;
    // Logs the exception being handled as a failure to `what` the journal, once per run of
    // failures like the journal's own.
    void FailCaught(const char* what) noexcept;

    const std::string& Path() const { return path; }
    Counts Statistics() const { return counts; }

private:
    bool FindLastSeq();
    bool EnsureOpen();
    void CloseFileOf();
    uint64_t WriteWaiting();
    void RotateIfFull(size_t adding);
    void RegisterWrite() noexcept;
    void Fail(const char* what, std::string_view reason) noexcept;

    std::string path;  // UTF-8
    SystemFile file;
    uint64_t fileSize = 0;
    uint64_t rotateAbove = RotationSize;  // raised by 16 MiB after each failed rename
    uint64_t lastSeq = 0;
    bool seqKnown = false;  // the folder's highest seq has been read
    fmt::memory_buffer waiting;
    uint64_t waitingRecords = 0;
    bool failing = false;         // in a run of failures, already logged
    bool endsInsideLine = false;  // a failed write left part of a line
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
void OpenJournal() noexcept;
// Hands what the journal holds to the operating system now: at the end of the start-up sweep and
// of each run of the deferred queue, so a crash later in the same tick keeps the records.
void FlushJournal() noexcept;
// At unload: writes what waits and closes the file.
void CloseJournal() noexcept;

// Hands what waits to the system when it goes out of scope (FlushJournal): at the end of a call of
// the host that may destroy creatures.
struct JournalWrittenAtEnd {
    JournalWrittenAtEnd() = default;
    ~JournalWrittenAtEnd();
    JournalWrittenAtEnd(const JournalWrittenAtEnd&) = delete;
    JournalWrittenAtEnd& operator=(const JournalWrittenAtEnd&) = delete;
};

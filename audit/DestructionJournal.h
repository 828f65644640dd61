// The destruction journal: one JSON line per creature the plugin destroys, in the plugin folder's
// destroyed.jsonl (destroyed.2.jsonl and on for the other servers that share the folder). It is
// written ahead: a record reaches the operating system before its destroy call, and a creature
// whose record cannot be written is not destroyed. At 16 MiB the file is renamed
// destroyed-<UTC date and time>.jsonl and a new one begun. No failure of the journal leaves it.
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

    struct Counts {
        uint64_t written = 0;  // records handed to the operating system
        uint64_t notDone = 0;  // of them, destroys the game did not carry out
    };

    DestructionJournal() = default;
    ~DestructionJournal();
    DestructionJournal(const DestructionJournal&) = delete;
    DestructionJournal& operator=(const DestructionJournal&) = delete;

    // Opens the file (creating it) and continues the numbering from the highest record of it and
    // of its rotated files, read once here. What fails is logged; the next record tries again.
    void Open(const std::filesystem::path& journalFile) noexcept;
    // The plugin's own journal: the file of this server's slot beside config.json.
    void Open() noexcept;
    // Hands the record to the operating system now: its seq, or 0 when it could not be written,
    // which one critical line per run of failures says, naming the record's creature, the first
    // not destroyed for it.
    uint64_t WriteAhead(const DestructionRecord& record) noexcept;
    // A record that could not be made: nothing written, said like a failed write.
    void NotMade(std::string_view reason, std::string_view creature) noexcept;
    // The destroy of record `seq` did not happen: a line that marks it not done.
    void MarkNotDone(uint64_t seq, std::string_view reason) noexcept;
    // Closes the file.
    void Close() noexcept;
    // Logs the exception being handled as a failure to `what` the journal.
    void FailCaught(const char* what, std::string_view creature = {}) noexcept;

    const std::string& Path() const { return path; }
    Counts Statistics() const { return counts; }

private:
    bool OpenAt(const std::filesystem::path* journalFile) noexcept;
    void FindLastSeq();
    bool EnsureOpen();
    bool StillTheFileAtPath();
    void CloseFileOf();
    bool Append(std::string_view line);
    void RotateIfFull(size_t adding);
    FileRenamed RenameRotated();
    void Fail(const char* what, std::string_view reason, std::string_view creature = {}) noexcept;

    std::string path;  // UTF-8
    SystemFile file;
    uint64_t fileSize = 0;
    uint64_t rotationSize = RotationSize;
    uint64_t rotateAbove = RotationSize;  // raised by the rotation size after each failed rename
    // The rotated name this journal's last rotation took: its stem and copy (1 for none added).
    std::string lastRotatedStem;
    int lastRotatedCopy = 0;
    uint64_t lastSeq = 0;
    bool seqKnown = false;  // the folder has been read
    fmt::memory_buffer line;
    const char* troubleWhat = "open";  // what failed last, and why
    std::string lastTrouble;
    bool failing = false;         // in a run of failures that hold creatures, already logged
    bool endsInsideLine = false;  // a failed write left part of a line
    Counts counts;
};

// The journal of the plugin's folder, created at the first use.
DestructionJournal& TheJournal();
// The journal's file: destroyed.jsonl beside config.json for the first server of the folder,
// destroyed.2.jsonl for the second, ...; destroyed.jsonl while none is open.
std::filesystem::path JournalFilePath();
// Whether the configuration keeps a journal; a key of the wrong type keeps it, since it changes
// nothing the checks do.
bool JournalEnabled(const ConfigSnapshot& config);

// At load, before the start-up sweep: opens the journal when the configuration keeps one.
void OpenJournal() noexcept;
// At unload: closes the file.
void CloseJournal() noexcept;

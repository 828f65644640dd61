#include "audit/DestructionJournal.h"

#include <fmt/chrono.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <nlohmann/json.hpp>
#include <vector>

#include "audit/JournalLine.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "base/Logger.h"
#include "host/AsaApi.h"

namespace fs = std::filesystem;

namespace {

// A file's end is read back in pieces of this size until a record turns up.
constexpr size_t ReadPieceBytes = 64 * 1024;
// A line longer than this is no record the journal wrote; it is skipped unread.
constexpr size_t LongestRecord = DestructionJournal::RotationSize;
// Rotated files made in the same millisecond get "-2", "-3", ... up to this.
constexpr int MostCopies = 100;

std::string Utf8Text(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

size_t NameStart(std::string_view path) {
    const size_t separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

std::string FolderOf(const std::string& path) {
    const size_t start = NameStart(path);
    if (start == 0) return ".";
    return start == 1 ? path.substr(0, 1) : path.substr(0, start - 1);
}

std::string InFolderOf(const std::string& path, std::string_view name) {
    return path.substr(0, NameStart(path)).append(name);
}

bool IsRotatedName(std::string_view name) {
    return name.starts_with("destroyed-") && name.ends_with(".jsonl");
}

// The seq of the record on this line, 0 when it holds none.
uint64_t SeqOf(std::string_view line) {
    const auto record = nlohmann::json::parse(line, nullptr, false);
    if (!record.is_object()) return 0;
    const auto seq = record.find("seq");
    return seq != record.end() && seq->is_number_unsigned() ? seq->get<uint64_t>() : 0;
}

struct FileEnd {
    uint64_t lastSeq = 0;
    bool insideLine = false;  // the file does not end with a line feed
    int error = 0;
    int closeError = 0;
};

// The pieces of one line, read from its end backwards.
class LineFromTheEnd {
public:
    void Prepend(std::string_view piece) {
        if (tooLong || piece.empty()) return;
        if (bytes + piece.size() > LongestRecord) {
            tooLong = true;
            pieces.clear();
            return;
        }
        pieces.emplace_back(piece);
        bytes += piece.size();
    }
    // The line's record's seq, 0 for none; the next line begins.
    uint64_t Finish() {
        uint64_t seq = 0;
        if (!tooLong && bytes > 0) {
            std::string line;
            line.reserve(bytes);
            for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) line += *piece;
            seq = SeqOf(line);
        }
        pieces.clear();
        bytes = 0;
        tooLong = false;
        return seq;
    }

private:
    std::vector<std::string> pieces;
    size_t bytes = 0;
    bool tooLong = false;
};

// The seq of the file's last record, read back from its end as far as it takes.
void ReadLastSeq(SystemFile file, FileEnd& end) {
    const FileSize size = SizeOfFile(file);
    if (size.error != 0) {
        end.error = size.error;
        return;
    }
    uint64_t offset = size.bytes;
    std::string piece;
    LineFromTheEnd line;
    while (offset > 0) {
        const size_t length = static_cast<size_t>(std::min<uint64_t>(ReadPieceBytes, offset));
        offset -= length;
        piece.resize(length);
        const FileTransfer read = ReadBytesAt(file, offset, piece.data(), length);
        if (read.error != 0) {
            end.error = read.error;
            return;
        }
        piece.resize(read.bytes);  // shorter only when the file shrank meanwhile
        if (piece.empty()) continue;
        if (offset + length == size.bytes) end.insideLine = piece.back() != '\n';
        std::string_view text(piece);
        for (size_t lineFeed = text.rfind('\n'); lineFeed != std::string_view::npos;
             lineFeed = text.rfind('\n')) {
            line.Prepend(text.substr(lineFeed + 1));
            end.lastSeq = line.Finish();
            if (end.lastSeq != 0) return;
            text = text.substr(0, lineFeed);
        }
        line.Prepend(text);
    }
    end.lastSeq = line.Finish();
}

FileEnd ReadFileEnd(const std::string& path) {
    FileEnd end;
    const FileOpened opened = OpenForReading(path);
    if (opened.error != 0) {
        end.error = opened.error;
        return end;
    }
    ReadLastSeq(opened.file, end);
    end.closeError = CloseFile(opened.file);
    return end;
}

std::string RotatedStem() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - seconds).count();
    const std::tm utc = fmt::gmtime(static_cast<std::time_t>(seconds.count()));
    return fmt::format("destroyed-{:%Y-%m-%dT%H-%M-%S}.{:03}Z", utc, milliseconds);
}

// Renames the file to a rotated name no other file has.
FileRenamed RenameRotated(const std::string& path) {
    const std::string stem = RotatedStem();
    FileRenamed renamed;
    for (int copy = 1; copy <= MostCopies; ++copy) {
        const std::string name =
            copy == 1 ? stem + ".jsonl" : fmt::format("{}-{}.jsonl", stem, copy);
        renamed = RenameFile(path, InFolderOf(path, name));
        if (!renamed.targetExists) break;
    }
    return renamed;
}

DestructionJournal* existingJournal = nullptr;

// Code that tells of a failure must not fail itself.
template <typename... Args>
void Critical(fmt::format_string<Args...> format, Args&&... args) noexcept {
    try {
        if (PluginLogger())
            PluginLogger()->critical("{}", fmt::format(format, std::forward<Args>(args)...));
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

std::string CaughtText() {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "unknown error";
    }
}

}  // namespace

DestructionJournal::~DestructionJournal() { Close(); }

void DestructionJournal::Open(const fs::path& journalFile) noexcept {
    try {
        if (file.IsOpen()) CloseFileOf();
        path = Utf8Text(journalFile);
        seqKnown = false;
        rotateAbove = RotationSize;
        if (FindLastSeq()) EnsureOpen();
    } catch (...) {
        FailCaught("open");
    }
}

void DestructionJournal::Open() noexcept {
    try {
        Open(JournalFilePath());
    } catch (...) {
        FailCaught("open");
    }
}

void DestructionJournal::Add(const DestructionRecord& record) noexcept {
    try {
        if (path.empty()) Open();
        if (path.empty() || (!seqKnown && !FindLastSeq())) {
            ++counts.notWritten;
            return;
        }
        const size_t before = waiting.size();
        try {
            AppendJournalLine(waiting, record, lastSeq + 1, std::chrono::system_clock::now());
        } catch (...) {
            waiting.resize(before);
            throw;
        }
        ++lastSeq;
        ++waitingRecords;
    } catch (...) {
        ++counts.notWritten;
        FailCaught("add a record to");
        return;
    }
    if (waiting.size() >= WriteAtBytes) {
        Write();
        return;
    }
    RegisterWrite();
    if (writeRefused) Write();  // no tick will come for it
}

void DestructionJournal::NotMade(const std::string& reason) noexcept {
    ++counts.notWritten;
    Fail("record a destruction in", reason);
}

void DestructionJournal::Write() noexcept {
    if (waitingRecords == 0) return;
    const uint64_t records = waitingRecords;
    uint64_t whole = 0;
    try {
        whole = WriteWaiting();
    } catch (...) {
        FailCaught("write");
    }
    counts.written += whole;
    counts.notWritten += records - whole;
    waitingRecords = 0;
    waiting.clear();
}

void DestructionJournal::Close() noexcept {
    Write();
    try {
        if (file.IsOpen()) CloseFileOf();
    } catch (...) {
        FailCaught("close");
    }
    if (writeRegistered) {
        writeRegistered = false;
        try {
            AsaApi::GetCommands().UnregisterUpdateCallback(FString(UpdateCallbackId));
        } catch (...) {
            // Said whatever came before: the host keeps calling into the plugin.
            Critical("Failed to unregister {}, it stays registered! \n {}", UpdateCallbackId,
                     CaughtText());
        }
    }
    writeRefused = false;
}

void DestructionJournal::FailCaught(const char* what) noexcept {
    try {
        Fail(what, CaughtText());
    } catch (...) {
        Fail(what, "unknown error");
    }
}

// The highest seq of the folder's journal files, whatever their names and sizes, so numbering
// never repeats; until it is known nothing is numbered.
bool DestructionJournal::FindLastSeq() {
    const std::string folder = FolderOf(path);
    const FolderFiles files = ListFiles(folder);
    if (files.error != 0) {
        Fail("read", fmt::format("{}: {}", folder, FileErrorText(files.error)));
        return false;
    }
    const std::string_view ownName = std::string_view(path).substr(NameStart(path));
    uint64_t highest = 0;
    bool insideLine = false;
    for (const std::string& name : files.names) {
        if (name != ownName && !IsRotatedName(name)) continue;
        const FileEnd end = ReadFileEnd(InFolderOf(path, name));
        if (end.error != 0) {
            Fail("read", fmt::format("{}: {}", name, FileErrorText(end.error)));
            return false;
        }
        if (end.closeError != 0)
            Fail("read", fmt::format("{}: {}", name, FileErrorText(end.closeError)));
        highest = std::max(highest, end.lastSeq);
        if (name == ownName) insideLine = end.insideLine;
    }
    // Records numbered in this process but never written count too.
    lastSeq = std::max(lastSeq, highest);
    endsInsideLine = insideLine;
    seqKnown = true;
    return true;
}

bool DestructionJournal::EnsureOpen() {
    if (file.IsOpen()) return true;
    const FileOpened opened = OpenForAppend(path);
    if (opened.error != 0) {
        Fail("open", FileErrorText(opened.error));
        return false;
    }
    file = opened.file;
    // A size unknown counts from here: the file grows on and rotates 16 MiB later.
    const FileSize size = SizeOfFile(file);
    if (size.error != 0) Fail("measure", FileErrorText(size.error));
    fileSize = size.bytes;
    return true;
}

void DestructionJournal::CloseFileOf() {
    const int error = CloseFile(file);
    file = {};
    if (error != 0) Fail("close", FileErrorText(error));
}

// The number of records whose whole line reached the file.
uint64_t DestructionJournal::WriteWaiting() {
    if (!EnsureOpen()) return 0;
    RotateIfFull(waiting.size());
    if (!file.IsOpen()) return 0;
    if (endsInsideLine) {
        // A line a failed write cut short stays a line of its own, which readers skip.
        const FileTransfer separator = AppendBytes(file, "\n");
        fileSize += separator.bytes;
        if (separator.error != 0) {
            Fail("write", FileErrorText(separator.error));
            return 0;
        }
        endsInsideLine = false;
    }
    const std::string_view text(waiting.data(), waiting.size());
    const FileTransfer done = AppendBytes(file, text);
    fileSize += done.bytes;
    const std::string_view reached = text.substr(0, done.bytes);
    if (!reached.empty()) endsInsideLine = reached.back() != '\n';
    if (done.error != 0)
        Fail("write", FileErrorText(done.error));
    else
        failing = false;
    return static_cast<uint64_t>(std::count(reached.begin(), reached.end(), '\n'));
}

// A file never grows past the rotation size, unless a single write is larger. One that cannot be
// renamed grows on, and the rename is tried again at each further 16 MiB.
void DestructionJournal::RotateIfFull(size_t adding) {
    if (fileSize == 0 || fileSize + adding <= rotateAbove) return;
    CloseFileOf();
    const FileRenamed renamed = RenameRotated(path);
    if (renamed.error == 0) {
        endsInsideLine = false;
        rotateAbove = RotationSize;
    } else {
        rotateAbove = ((fileSize + adding) / RotationSize + 1) * RotationSize;
        Fail("rotate", FileErrorText(renamed.error));
    }
    EnsureOpen();
}

// A host that refuses the tick's callback gets each record written at once instead.
void DestructionJournal::RegisterWrite() noexcept {
    if (writeRegistered || writeRefused) return;
    try {
        AsaApi::GetCommands().RegisterUpdateCallback(FString(UpdateCallbackId),
                                                     [this](float) { Write(); });
        writeRegistered = true;
    } catch (...) {
        writeRefused = true;
        Critical("Failed to register {}, records are written at once! \n {}", UpdateCallbackId,
                 CaughtText());
    }
}

// One line per run of failures: the next successful write ends the run.
void DestructionJournal::Fail(const char* what, std::string_view reason) noexcept {
    if (failing) return;
    failing = true;
    Critical("Failed to {} the destruction journal {}! \n {}", what,
             path.empty() ? std::string_view("destroyed.jsonl") : std::string_view(path), reason);
}

DestructionJournal& TheJournal() {
    static DestructionJournal journal;
    existingJournal = &journal;
    return journal;
}

fs::path JournalFilePath() { return ConfigFilePath().parent_path() / "destroyed.jsonl"; }

bool JournalEnabled(const ConfigSnapshot& config) {
    return config.DestroyJournal.Error() || config.DestroyJournal.Read();
}

void OpenJournal() noexcept {
    DestructionJournal& journal = TheJournal();
    try {
        if (JournalEnabled(CurrentConfig())) journal.Open();
    } catch (...) {
        journal.FailCaught("open");
    }
}

void FlushJournal() noexcept {
    if (existingJournal != nullptr) existingJournal->Write();
}

JournalWrittenAtEnd::~JournalWrittenAtEnd() { FlushJournal(); }

void CloseJournal() noexcept {
    if (existingJournal != nullptr) existingJournal->Close();
}

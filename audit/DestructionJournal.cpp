#include "audit/DestructionJournal.h"

#include <fmt/chrono.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <exception>
#include <nlohmann/json.hpp>
#include <vector>

#include "audit/JournalLine.h"
#include "audit/Messages.h"
#include "audit/ServerSlot.h"
#include "base/Config.h"
#include "base/ConfigSnapshot.h"
#include "base/FailureLog.h"
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

// The file name without ".jsonl": its rotated files are named "<stem>-<date and time>.jsonl".
std::string_view StemOf(std::string_view name) {
    return name.ends_with(".jsonl") ? name.substr(0, name.size() - 6) : name;
}

bool IsRotatedName(std::string_view name, std::string_view stem) {
    return name.size() > stem.size() + 1 && name.starts_with(stem) && name[stem.size()] == '-' &&
           name.ends_with(".jsonl");
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

std::string RotatedStem(std::string_view stem) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - seconds).count();
    const std::tm utc = fmt::gmtime(static_cast<std::time_t>(seconds.count()));
    return fmt::format("{}-{:%Y-%m-%dT%H-%M-%S}.{:03}Z", stem, utc, milliseconds);
}

}  // namespace

// Renames the file to a rotated name no other file has. A second rotation within the millisecond
// of this journal's last one starts at the copy after that one's, without a rename that is sure
// to fail: how fast a burst of records came does not change the operations the journal calls,
// which the fault loop counts.
FileRenamed DestructionJournal::RenameRotated() {
    const std::string stem = RotatedStem(StemOf(std::string_view(path).substr(NameStart(path))));
    const int first = stem == lastRotatedStem ? std::min(lastRotatedCopy + 1, MostCopies) : 1;
    FileRenamed renamed;
    for (int copy = first; copy <= MostCopies; ++copy) {
        const std::string name =
            copy == 1 ? stem + ".jsonl" : fmt::format("{}-{}.jsonl", stem, copy);
        renamed = RenameFile(path, InFolderOf(path, name));
        if (renamed.targetExists) continue;
        if (renamed.error == 0) {
            lastRotatedStem = stem;
            lastRotatedCopy = copy;
        }
        break;
    }
    return renamed;
}

namespace {

// The creature a record is of, as the lines that hold it name it; made only for such a line.
std::string CreatureOf(const DestructionRecord& record) noexcept {
    try {
        return fmt::format(Messages::DestroyedCreature, record.creature, record.level, record.team);
    } catch (...) {
        return "a creature";
    }
}

}  // namespace

DestructionJournal::~DestructionJournal() { Close(); }

void DestructionJournal::Open(const fs::path& journalFile) noexcept {
    if (!OpenAt(&journalFile)) Fail(troubleWhat, lastTrouble);
}

void DestructionJournal::Open() noexcept {
    if (!OpenAt(nullptr)) Fail(troubleWhat, lastTrouble);
}

// Opens the given file, or this server's own; false with the trouble kept when that fails.
bool DestructionJournal::OpenAt(const fs::path* journalFile) noexcept {
    try {
        if (file.IsOpen()) CloseFileOf();
        path.clear();
        troubleWhat = "open";
        const fs::path own = journalFile != nullptr
                                 ? fs::path()
                                 : ConfigFilePath().parent_path() /
                                       ServerFileName("destroyed", ".jsonl", ServerSlot());
        path = Utf8Path(journalFile != nullptr ? *journalFile : own);
        seqKnown = false;
        const uint64_t simulated = SimulatedRotationSize();
        rotationSize = simulated != 0 ? simulated : RotationSize;
        rotateAbove = rotationSize;
        FindLastSeq();
        return seqKnown && EnsureOpen();
    } catch (...) {
        lastTrouble = CaughtText();
        return false;
    }
}

uint64_t DestructionJournal::WriteAhead(const DestructionRecord& record) noexcept {
    // Not written: said, and 0 for the creature the caller holds.
    const auto held = [&](const char* what) {
        Fail(what, lastTrouble, CreatureOf(record));
        return uint64_t{0};
    };
    try {
        if (path.empty())
            OpenAt(nullptr);
        else if (!StillTheFileAtPath())
            return held("check");
        if (path.empty()) return held(troubleWhat);
        if (!seqKnown) FindLastSeq();
        if (!seqKnown || !EnsureOpen()) return held(troubleWhat);
        line.clear();
        AppendJournalLine(line, record, lastSeq + 1, std::chrono::system_clock::now());
        RotateIfFull(line.size());
        if (!EnsureOpen()) return held(troubleWhat);
        if (!Append(std::string_view(line.data(), line.size()))) return held("write");
        failing = false;
        ++counts.written;
        return ++lastSeq;
    } catch (...) {
        FailCaught("write", CreatureOf(record));
        return 0;
    }
}

void DestructionJournal::NotMade(std::string_view reason, std::string_view creature) noexcept {
    Fail("record a destruction in", reason, creature);
}

void DestructionJournal::MarkNotDone(uint64_t seq, std::string_view reason) noexcept {
    try {
        line.clear();
        AppendNotDoneLine(line, seq, reason, std::chrono::system_clock::now());
        if (!StillTheFileAtPath() || !EnsureOpen() ||
            !Append(std::string_view(line.data(), line.size()))) {
            Fail("mark a destroy not done in", lastTrouble);
            return;
        }
        ++counts.notDone;
    } catch (...) {
        FailCaught("mark a destroy not done in");
    }
}

void DestructionJournal::Close() noexcept {
    try {
        if (file.IsOpen()) CloseFileOf();
    } catch (...) {
        FailCaught("close");
    }
}

void DestructionJournal::FailCaught(const char* what, std::string_view creature) noexcept {
    try {
        Fail(what, CaughtText(), creature);
    } catch (...) {
        Fail(what, "unknown error", creature);
    }
}

// The highest seq of this journal's files (its own and its rotated ones), read once per opening of
// the folder, so numbering never repeats. A file that cannot be read is named and left out.
void DestructionJournal::FindLastSeq() {
    const std::string folder = FolderOf(path);
    // A folder removed while the server runs is made again, and the file in it.
    if (const FolderMade made = CreateFolder(folder); made.error != 0) {
        troubleWhat = "make the folder of";
        lastTrouble = fmt::format("{}: {}", folder, FileErrorText(made.error));
        return;
    }
    const FolderFiles files = ListFiles(folder);
    if (files.error != 0) {
        troubleWhat = "read";
        lastTrouble = fmt::format("{}: {}", folder, FileErrorText(files.error));
        return;
    }
    const std::string_view ownName = std::string_view(path).substr(NameStart(path));
    const std::string_view stem = StemOf(ownName);
    uint64_t highest = 0;
    bool insideLine = false;
    for (const std::string& name : files.names) {
        if (name != ownName && !IsRotatedName(name, stem)) continue;
        const FileEnd end = ReadFileEnd(InFolderOf(path, name));
        if (end.error != 0 && name == ownName) {
            // Appending to a file whose last seq is unknown could repeat one.
            troubleWhat = "read";
            lastTrouble = fmt::format("{}: {}", name, FileErrorText(end.error));
            return;
        }
        if (end.error != 0) {
            LogWarning(
                "Skipped {} of the destruction journal {}, which cannot be read: {}; numbering "
                "goes on past the highest seq of the others",
                name, path, FileErrorText(end.error));
            continue;
        }
        if (end.closeError != 0)
            LogWarning("Closing {} of the destruction journal {} reported: {}", name, path,
                       FileErrorText(end.closeError));
        highest = std::max(highest, end.lastSeq);
        if (name == ownName) insideLine = end.insideLine;
    }
    // Records numbered in this process count too, also those of a file since removed.
    lastSeq = std::max(lastSeq, highest);
    endsInsideLine = insideLine;
    seqKnown = true;
}

bool DestructionJournal::EnsureOpen() {
    if (file.IsOpen()) return true;
    const FileOpened opened = OpenForAppend(path);
    if (opened.error != 0) {
        troubleWhat = "open";
        lastTrouble = FileErrorText(opened.error);
        return false;
    }
    file = opened.file;
    // A size unknown counts from here: the file grows on and rotates a rotation size later.
    const FileSize size = SizeOfFile(file);
    fileSize = size.error == 0 ? size.bytes : 0;
    if (size.error != 0)
        LogWarning("The size of the destruction journal {} is unknown, it rotates later: {}", path,
                   FileErrorText(size.error));
    return true;
}

// The file written to is the one at the path: one removed, renamed or replaced under the journal
// is let go, and the journal opened again at its path, which one line says.
bool DestructionJournal::StillTheFileAtPath() {
    if (!file.IsOpen()) return true;
    const FileAtPath atPath = StillAtPath(file, path);
    if (atPath.error != 0) {
        lastTrouble = FileErrorText(atPath.error);
        return false;
    }
    if (atPath.same) return true;
    CloseFileOf();
    seqKnown = false;
    endsInsideLine = false;
    rotateAbove = rotationSize;
    LogWarning(
        "The destruction journal {} was removed or replaced while open; it is opened again at "
        "that path",
        path);
    return true;
}

void DestructionJournal::CloseFileOf() {
    const int error = CloseFile(file);
    file = {};
    if (error != 0)
        LogWarning("Closing the destruction journal {} reported: {}", path, FileErrorText(error));
}

// Whether the whole line reached the file. A line a failed write cut short stays a line of its
// own, which readers skip, and its seq is given to the next record.
bool DestructionJournal::Append(std::string_view text) {
    if (endsInsideLine) {
        const FileTransfer separator = AppendBytes(file, "\n");
        fileSize += separator.bytes;
        if (separator.error != 0) {
            lastTrouble = FileErrorText(separator.error);
            return false;
        }
        endsInsideLine = false;
    }
    const FileTransfer done = AppendBytes(file, text);
    fileSize += done.bytes;
    if (done.bytes > 0 && done.bytes < text.size()) endsInsideLine = true;
    if (done.error != 0) {
        lastTrouble = FileErrorText(done.error);
        return false;
    }
    return true;
}

// A file never grows past the rotation size, unless a single record is larger. One that cannot be
// renamed grows on, and the rename is tried again at each further rotation size. The file is
// opened again by the write that follows.
void DestructionJournal::RotateIfFull(size_t adding) {
    if (fileSize == 0 || fileSize + adding <= rotateAbove) return;
    CloseFileOf();
    const FileRenamed renamed = RenameRotated();
    if (renamed.error == 0) {
        endsInsideLine = false;
        rotateAbove = rotationSize;
    } else {
        rotateAbove = ((fileSize + adding) / rotationSize + 1) * rotationSize;
        LogCritical("Failed to rotate the destruction journal {}, it grows on! \n {}", path,
                    FileErrorText(renamed.error));
    }
}

// A failure that holds a creature is said once per run of failures, which the next record
// written ends; any other is said each time.
void DestructionJournal::Fail(const char* what, std::string_view reason,
                              std::string_view creature) noexcept {
    const std::string_view shown =
        path.empty() ? std::string_view("destroyed.jsonl") : std::string_view(path);
    if (creature.empty()) {
        LogCritical("Failed to {} the destruction journal {}! \n {}", what, shown, reason);
        return;
    }
    if (failing) return;
    failing = true;
    LogCritical(
        "Failed to {} the destruction journal {}, so {} is not destroyed, nor any creature "
        "until a record can be written! \n {}",
        what, shown, creature, reason);
}

DestructionJournal& TheJournal() {
    static DestructionJournal journal;
    return journal;
}

fs::path JournalFilePath() {
    const std::string& open = TheJournal().Path();
    if (!open.empty()) return fs::path(std::u8string(open.begin(), open.end()));
    return ConfigFilePath().parent_path() / "destroyed.jsonl";
}

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

void CloseJournal() noexcept { TheJournal().Close(); }

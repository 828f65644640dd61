#include "audit/DestructionJournal.h"

#include <fmt/chrono.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string_view>
#include <system_error>

#include "audit/JournalLine.h"
#include "base/Config.h"
#include "base/Logger.h"
#include "host/AsaApi.h"

namespace fs = std::filesystem;

namespace {

// The last record is looked for in this much of a file's end; a record is a few kilobytes.
constexpr std::streamoff TailBytes = 256 * 1024;

struct FileEnd {
    uint64_t lastSeq = 0;
    bool insideLine = false;  // the file does not end with a line feed
};

FileEnd ReadFileEnd(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) return {};
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return {};
    const std::streamoff size = in.tellg();
    if (size <= 0) return {};
    const std::streamoff start = size > TailBytes ? size - TailBytes : 0;
    std::string tail(static_cast<size_t>(size - start), '\0');
    in.seekg(start);
    in.read(tail.data(), static_cast<std::streamsize>(tail.size()));
    FileEnd end;
    end.insideLine = tail.back() != '\n';
    std::string_view text(tail);
    while (!text.empty()) {
        if (text.back() == '\n') text.remove_suffix(1);
        const size_t lineStart =
            text.rfind('\n') == std::string_view::npos ? 0 : text.rfind('\n') + 1;
        const auto record = nlohmann::json::parse(text.substr(lineStart), nullptr, false);
        if (record.is_object()) {
            const auto seq = record.find("seq");
            if (seq != record.end() && seq->is_number_unsigned()) {
                end.lastSeq = seq->get<uint64_t>();
                return end;
            }
        }
        text = text.substr(0, lineStart);
    }
    return end;
}

bool IsRotatedName(const std::string& name) {
    return name.starts_with("destroyed-") && name.ends_with(".jsonl");
}

// The rotated files' names begin with their UTC time, so the greatest name is the newest.
uint64_t LastRotatedSeq(const fs::path& folder) {
    std::error_code error;
    fs::path newest;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (IsRotatedName(name) && (newest.empty() || name > newest.filename().string()))
            newest = entry->path();
    }
    return newest.empty() ? 0 : ReadFileEnd(newest).lastSeq;
}

fs::path RotatedPath(const fs::path& file) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(now);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - seconds).count();
    const std::tm utc = fmt::gmtime(static_cast<std::time_t>(seconds.count()));
    const std::string stem =
        fmt::format("destroyed-{:%Y-%m-%dT%H-%M-%S}.{:03}Z", utc, milliseconds);
    fs::path rotated = file.parent_path() / (stem + ".jsonl");
    for (int copy = 2; fs::exists(rotated); ++copy)
        rotated = file.parent_path() / fmt::format("{}-{}.jsonl", stem, copy);
    return rotated;
}

std::string SystemReason(int error) { return std::strerror(error); }

DestructionJournal* existingJournal = nullptr;

}  // namespace

DestructionJournal::~DestructionJournal() {
    try {
        Close();
    } catch (...) {
        // The library is going away; what could not be written is lost with it.
    }
}

void DestructionJournal::Open(const fs::path& journalFile) {
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    path = journalFile;
    const FileEnd end = ReadFileEnd(path);
    lastSeq = end.lastSeq != 0 ? end.lastSeq : LastRotatedSeq(path.parent_path());
    endsInsideLine = end.insideLine;
    EnsureOpen();
}

void DestructionJournal::Add(const DestructionRecord& record) {
    if (path.empty()) Open(JournalFilePath());
    AppendJournalLine(waiting, record, ++lastSeq, std::chrono::system_clock::now());
    ++waitingRecords;
    if (waiting.size() >= WriteAtBytes) {
        Write();
        return;
    }
    RegisterWrite();
    if (writeRefused) Write();  // no tick will come for it
}

void DestructionJournal::NotMade(const std::string& reason) {
    ++counts.notWritten;
    Fail("record a destruction in", reason);
}

void DestructionJournal::Write() {
    if (waitingRecords == 0) return;
    const uint64_t records = waitingRecords;
    waitingRecords = 0;
    const std::string_view text(waiting.data(), waiting.size());
    bool written = false;
    if (EnsureOpen()) {
        RotateIfFull(text.size());
        if (file != nullptr) {
            // A line a failed write cut short stays a line of its own, which readers skip.
            const bool separated = !endsInsideLine || std::fputc('\n', file) != EOF;
            written = separated && std::fwrite(text.data(), 1, text.size(), file) == text.size();
            if (written) {
                fileSize += text.size() + (endsInsideLine ? 1 : 0);
                endsInsideLine = false;
                failing = false;
            } else {
                const int error = errno;
                std::clearerr(file);
                endsInsideLine = true;
                Fail("write", SystemReason(error));
            }
        }
    }
    (written ? counts.written : counts.notWritten) += records;
    waiting.clear();
}

void DestructionJournal::Close() {
    Write();
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    if (writeRegistered) {
        writeRegistered = false;
        UnregisterWrite();
    }
    writeRefused = false;
}

// A callback the host refused to forget leads into a library about to go: the line names it.
void DestructionJournal::UnregisterWrite() {
    std::string error;
    try {
        AsaApi::GetCommands().UnregisterUpdateCallback(FString(UpdateCallbackId));
        return;
    } catch (const std::exception& caught) {
        error = caught.what();
    } catch (...) {
        error = "unknown error";
    }
    if (PluginLogger())
        PluginLogger()->critical("Failed to unregister {}, it stays registered! \n {}",
                                 UpdateCallbackId, error);
}

bool DestructionJournal::EnsureOpen() {
    if (file != nullptr) return true;
    file = std::fopen(path.string().c_str(), "ab");
    if (file == nullptr) {
        Fail("open", SystemReason(errno));
        return false;
    }
    // Each write goes straight to the operating system, so a failed one leaves nothing behind
    // to be written later.
    std::setvbuf(file, nullptr, _IONBF, 0);
    std::error_code error;
    const uintmax_t size = fs::file_size(path, error);
    fileSize = error ? 0 : size;
    return true;
}

// A file never grows past the rotation size, unless a single write is larger.
void DestructionJournal::RotateIfFull(size_t adding) {
    if (rotationFailed || fileSize == 0 || fileSize + adding <= RotationSize) return;
    std::fclose(file);
    file = nullptr;
    std::error_code error;
    fs::rename(path, RotatedPath(path), error);
    // A file that cannot be renamed grows on; the reason is logged once.
    if (error) {
        rotationFailed = true;
        Fail("rotate", error.message());
    }
    endsInsideLine = false;
    EnsureOpen();
}

// A host that refuses the tick's callback gets each record written at once instead.
void DestructionJournal::RegisterWrite() {
    if (writeRegistered || writeRefused) return;
    try {
        AsaApi::GetCommands().RegisterUpdateCallback(FString(UpdateCallbackId),
                                                     [this](float) { Write(); });
        writeRegistered = true;
    } catch (const std::exception& error) {
        writeRefused = true;
        if (PluginLogger())
            PluginLogger()->critical("Failed to register {}, records are written at once! \n {}",
                                     UpdateCallbackId, error.what());
    } catch (...) {
        writeRefused = true;
    }
}

// One line per run of failures: the next successful write ends the run.
void DestructionJournal::Fail(const char* what, const std::string& reason) {
    if (failing) return;
    failing = true;
    if (PluginLogger())
        PluginLogger()->critical("Failed to {} the destruction journal {}! \n {}", what,
                                 path.string(), reason);
}

DestructionJournal& TheJournal() {
    static DestructionJournal journal;
    existingJournal = &journal;
    return journal;
}

fs::path JournalFilePath() { return ConfigFilePath().parent_path() / "destroyed.jsonl"; }

bool JournalEnabled(const ConfigSnapshot& config) {
    return config.destroyJournal.Error() || config.destroyJournal.Read();
}

void OpenJournal() {
    if (JournalEnabled(CurrentConfig())) TheJournal().Open(JournalFilePath());
}

JournalWrittenAtEnd::~JournalWrittenAtEnd() {
    if (existingJournal == nullptr) return;
    try {
        existingJournal->Write();
    } catch (...) {
        // Write says what failed; a record it could not hand over stays counted as not written.
    }
}

void CloseJournal() {
    if (existingJournal != nullptr) existingJournal->Close();
}

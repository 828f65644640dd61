#include "audit/OutboxSpool.h"

#include <algorithm>
#include <exception>
#include <nlohmann/json.hpp>
#include <unordered_set>

#include "audit/ServerSlot.h"
#include "base/Config.h"
#include "base/FailureLog.h"
#include "base/Logger.h"

namespace fs = std::filesystem;

namespace {

// The file is read back in pieces of this size.
constexpr size_t ReadPieceBytes = 64 * 1024;

uint64_t NumberAt(const nlohmann::json& line, const char* key) {
    const auto found = line.find(key);
    return found != line.end() && found->is_number_unsigned() ? found->get<uint64_t>() : 0;
}

}  // namespace

fs::path OutboxSpoolPath() {
    return ConfigFilePath().parent_path() / ServerFileName("outbox", ".jsonl", ServerSlot());
}

std::vector<OutboxSpool::Entry> OutboxSpool::Open() noexcept {
    std::vector<Entry> entries;
    if (failed || file.IsOpen()) return entries;
    try {
        path = Utf8Path(OutboxSpoolPath());
        // Opened for appending first, which makes a missing file, so that reading finds one.
        const FileOpened opened = OpenForAppend(path);
        if (opened.error != 0) {
            Fail("open", FileErrorText(opened.error));
            return entries;
        }
        file = opened.file;
        ReadWaiting(entries);
    } catch (...) {
        Fail("read", CaughtText());
    }
    if (failed) entries.clear();
    return entries;
}

// The posts the file names that no later line marks done, in the file's order. A line a crash
// cut short is no post and is passed over.
void OutboxSpool::ReadWaiting(std::vector<Entry>& entries) {
    const FileOpened opened = OpenForReading(path);
    if (opened.error != 0) return Fail("read", FileErrorText(opened.error));
    std::string text;
    const FileSize size = SizeOfFile(opened.file);
    int error = size.error;
    for (uint64_t offset = 0; error == 0 && offset < size.bytes;) {
        const size_t length =
            static_cast<size_t>(std::min<uint64_t>(ReadPieceBytes, size.bytes - offset));
        const size_t start = text.size();
        text.resize(start + length);
        const FileTransfer read = ReadBytesAt(opened.file, offset, text.data() + start, length);
        text.resize(start + read.bytes);
        error = read.error;
        if (read.bytes == 0) break;  // the file shrank meanwhile
        offset += read.bytes;
    }
    const int closeError = CloseFile(opened.file);
    if (error != 0) return Fail("read", FileErrorText(error));
    if (closeError != 0) return Fail("read", FileErrorText(closeError));
    fileBytes = text.size();
    endsInsideLine = !text.empty() && text.back() != '\n';
    std::unordered_set<uint64_t> done;
    uint64_t highest = 0;
    std::string_view rest = text;
    while (!rest.empty()) {
        const size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        const auto record = nlohmann::json::parse(line, nullptr, false);
        if (!record.is_object()) continue;
        if (const uint64_t number = NumberAt(record, "post")) {
            const auto body = record.find("body");
            if (body == record.end() || !body->is_string()) continue;
            const auto level = record.find("level");
            entries.push_back(
                {number, record.value("rule", std::string()),
                 record.value("creature", std::string()),
                 level != record.end() && level->is_number_integer() ? level->get<int32_t>() : 0,
                 body->get<std::string>()});
            highest = std::max(highest, number);
        }
        for (const char* mark : {"delivered", "dropped"})
            if (const uint64_t number = NumberAt(record, mark)) done.insert(number);
    }
    std::erase_if(entries, [&](const Entry& entry) { return done.contains(entry.number); });
    nextNumber = std::max(nextNumber, highest + 1);
}

std::string OutboxSpool::FileName() const {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

uint64_t OutboxSpool::Add(std::string_view rule, const std::string& creature, int32_t level,
                          const std::string& body) noexcept {
    const uint64_t number = nextNumber++;
    if (failed || !file.IsOpen()) return number;
    try {
        const nlohmann::json line = {{"post", number},
                                     {"rule", rule},
                                     {"creature", creature},
                                     {"level", level},
                                     {"body", body}};
        AppendLine(line.dump());
    } catch (...) {
        Fail("write", CaughtText());
    }
    return number;
}

void OutboxSpool::Done(uint64_t number, bool delivered) noexcept {
    if (failed || !file.IsOpen()) return;
    try {
        AppendLine(fmt::format(R"({{"{}":{}}})", delivered ? "delivered" : "dropped", number));
    } catch (...) {
        Fail("write", CaughtText());
    }
}

void OutboxSpool::AppendLine(std::string_view line) noexcept {
    const size_t before = unwritten.size();
    try {
        unwritten.append(line);
        unwritten.push_back('\n');
    } catch (...) {
        unwritten.resize(before);
        return Fail("write", CaughtText());
    }
    if (unwritten.size() >= WriteAtBytes) Write(false);
}

void OutboxSpool::Write(bool nothingWaits) noexcept {
    if (failed || !file.IsOpen()) {
        unwritten.clear();
        return;
    }
    if (nothingWaits && fileBytes == 0) {
        unwritten.clear();
        return;
    }
    if (nothingWaits) {
        // What the file holds is all delivered or given up: nothing in it is needed any more.
        const int error = EmptyFile(path);
        if (error == 0) {
            unwritten.clear();
            fileBytes = 0;
            endsInsideLine = false;
            return;
        }
        // Its marks are written before the spool is given up, so the next load sends none again.
        AppendUnwritten();
        return Fail("empty", FileErrorText(error));
    }
    AppendUnwritten();
}

void OutboxSpool::AppendUnwritten() noexcept {
    if (unwritten.size() == 0) return;
    if (endsInsideLine) {
        // A line a crash or a failed write cut short stays a line of its own, which reading skips.
        const FileTransfer separator = AppendBytes(file, "\n");
        fileBytes += separator.bytes;
        if (separator.error != 0) return Fail("write", FileErrorText(separator.error));
        endsInsideLine = false;
    }
    const FileTransfer done =
        AppendBytes(file, std::string_view(unwritten.data(), unwritten.size()));
    fileBytes += done.bytes;
    unwritten.clear();
    if (done.error != 0) Fail("write", FileErrorText(done.error));
}

void OutboxSpool::Close(bool nothingWaits) noexcept {
    Write(nothingWaits);
    if (!file.IsOpen()) return;
    const int error = CloseFile(file);
    file = {};
    if (error != 0) Fail("close", FileErrorText(error));
}

// Said once: from here on the outbox keeps its posts in memory only, as it did before it had a
// file. The file is closed, so that a spool half written is left as it is for the next load.
void OutboxSpool::Fail(const char* what, std::string_view reason) noexcept {
    if (failed) return;
    failed = true;
    unwritten.clear();
    int closeError = 0;
    if (file.IsOpen()) {
        closeError = CloseFile(file);
        file = {};
    }
    try {
        trouble =
            fmt::format("failed to {} {}: {}", what, path.empty() ? "outbox.jsonl" : path, reason);
        if (PluginLogger())
            PluginLogger()->critical(
                "Failed to {} the outbox's spool {}, reports wait in memory only! \n {}{}{}", what,
                path.empty() ? std::string_view("outbox.jsonl") : std::string_view(path), reason,
                closeError != 0 ? "; closing it: " : "",
                closeError != 0 ? FileErrorText(closeError) : std::string());
    } catch (...) {
        // Nothing is left to tell it with.
    }
}

#include "checker/JournalOutline.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "checker/FileTrouble.h"
#include "checker/JournalLineReader.h"
#include "checker/JournalLineScan.h"

namespace checker {
namespace {

namespace fs = std::filesystem;

// Enough for the first record of a file, most often.
constexpr size_t PeekSize = size_t{64} << 10;

struct FileOutline {
    fs::path path;
    std::optional<uint64_t> firstSeq;  // none in a file without a record: read last
};

}  // namespace

JournalOutline OutlineJournal(const JournalSource& source) {
    JournalOutline outline;
    std::vector<FileOutline> files;
    for (const fs::path& path : source.files) {
        JournalLineReader reader(path, PeekSize);
        if (!reader.IsOpen()) {
            outline.unreadable.push_back(UnreadableFileNotice(path));
            continue;
        }
        FileOutline file{path, std::nullopt};
        for (std::string_view line; !file.firstSeq && reader.Next(line);) {
            const ScannedLine scanned = ScanJournalLine(line);
            if (scanned.verdict == LineVerdict::Record) file.firstSeq = ScannedNumber(scanned.seq);
        }
        files.push_back(std::move(file));
    }
    // Files that begin with the same seq keep the order their names give.
    std::stable_sort(files.begin(), files.end(), [](const FileOutline& a, const FileOutline& b) {
        return a.firstSeq.has_value() && (!b.firstSeq || *a.firstSeq < *b.firstSeq);
    });
    for (FileOutline& file : files) outline.files.push_back(std::move(file.path));
    return outline;
}

std::string UnreadableFileNotice(const fs::path& file) {
    return file.string() + ": skipped, " +
           FileTrouble(file).value_or("cannot be read: refused by the system");
}

}  // namespace checker

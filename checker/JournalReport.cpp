#include "checker/JournalReport.h"

#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "audit/AuditRules.h"
#include "base/Format.h"
#include "checker/FoldedCase.h"
#include "checker/JournalLineScan.h"
#include "checker/JournalSources.h"

namespace checker {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* Usage =
    "usage: tamewarden-check --journal FILE|FOLDER... [--owner TEXT] [--creature TEXT]\n"
    "                        [--since DATE] [--until DATE] [--json]\n"
    "  --journal ...     journal files, or the plugin folders that hold them (destroyed.jsonl\n"
    "                    and every rotated destroyed-*.jsonl), of one server or several\n"
    "  --owner TEXT      only those of an owner: name, EOS id or player id (case ignored)\n"
    "  --creature TEXT   only creatures whose name holds TEXT (case ignored)\n"
    "  --since DATE      only those from DATE on\n"
    "  --until DATE      only those up to the end of DATE\n"
    "  --json            print each matching record whole, one JSON object per line\n"
    "  DATE              UTC: 2026-12-09, 2026-12-09 15:17 or 2026-12-09 15:17:05\n"
    "exit status: 0 all read, 1 lines skipped or records missing, 2 no journal or wrong "
    "arguments\n";

// Journals are read in blocks much larger than a line; a longer line grows the block.
constexpr size_t BlockSize = size_t{1} << 20;

class LineReader {
public:
    explicit LineReader(const fs::path& path) : file(path, std::ios::binary), block(BlockSize) {}

    bool IsOpen() const { return file.is_open(); }

    // The next line without its line feed; false at the end of the file.
    bool Next(std::string_view& line) {
        for (;;) {
            const char* start = block.data() + begin;
            const auto* feed = static_cast<const char*>(std::memchr(start, '\n', filled - begin));
            if (feed != nullptr) {
                line = std::string_view(start, static_cast<size_t>(feed - start));
                begin += line.size() + 1;
                return true;
            }
            if (ended) {
                if (begin == filled) return false;
                line = std::string_view(start, filled - begin);
                begin = filled;
                return true;
            }
            Refill();
        }
    }

private:
    void Refill() {
        std::memmove(block.data(), block.data() + begin, filled - begin);
        filled -= begin;
        begin = 0;
        if (filled == block.size()) block.resize(block.size() * 2);
        file.read(block.data() + filled, static_cast<std::streamsize>(block.size() - filled));
        const auto read = static_cast<size_t>(file.gcount());
        filled += read;
        if (read == 0) ended = true;
    }

    std::ifstream file;
    std::vector<char> block;
    size_t begin = 0, filled = 0;
    bool ended = false;
};

// What the whole query found, beyond the records it lists.
struct Tally {
    std::array<uint64_t, RuleCount> perRule{};  // by AuditRule
    uint64_t matching = 0;
    uint64_t cutShort = 0, notJson = 0, memberMissing = 0;
    uint64_t gaps = 0, recordsMissing = 0;
    bool anyNotice = false;
    std::vector<std::string> troubles;  // files that hold no journal: unreadable, or no record
};

struct Filters {
    std::string owner;     // folded
    std::string creature;  // folded
    const JournalQuery* query;
};

// Names may hold control characters; on one readable line they show as "?".
std::string Printable(std::string text) {
    for (char& unit : text)
        if (static_cast<unsigned char>(unit) < 0x20 || unit == 0x7F) unit = '?';
    return text;
}

bool OwnedBy(std::string_view owners, const std::string& folded) {
    bool owned = false;
    ForEachOwner(owners, [&](const ScannedOwner& owner) {
        owned = owned || owner.playerId == folded ||
                (!owner.name.empty() && FoldedCase(DecodedString(owner.name)) == folded) ||
                (!owner.eosId.empty() && FoldedCase(DecodedString(owner.eosId)) == folded);
    });
    return owned;
}

std::string OwnersText(std::string_view owners) {
    std::string text;
    ForEachOwner(owners, [&](const ScannedOwner& owner) {
        const std::string eosId = DecodedString(owner.eosId);
        text +=
            fmt::format("{}{} [{}]", text.empty() ? "" : ", ", Printable(DecodedString(owner.name)),
                        eosId.empty() ? "no EOS id" : "EOS " + Printable(eosId));
    });
    return text.empty() ? "none" : text;
}

std::string LocationText(std::string_view location) {
    const json axes = json::parse(location, nullptr, false);
    if (!axes.is_array() || axes.size() != 3 ||
        !std::all_of(axes.begin(), axes.end(), [](const json& axis) { return axis.is_number(); }))
        return "unknown location";
    return fmt::format("X={:.3f} Y={:.3f} Z={:.3f}", axes[0].get<double>(), axes[1].get<double>(),
                       axes[2].get<double>());
}

bool InTime(std::string_view time, const JournalQuery& query) {
    if (query.since && time < std::string_view(*query.since)) return false;
    if (query.until && time.substr(0, query.until->size()) > std::string_view(*query.until))
        return false;
    return true;
}

bool Matches(const ScannedLine& line, const Filters& filters) {
    const std::string_view time = line.time.substr(1, line.time.size() - 2);
    if (!InTime(time, *filters.query)) return false;
    if (filters.query->creature &&
        FoldedCase(DecodedString(line.creature)).find(filters.creature) == std::string::npos)
        return false;
    return !filters.query->owner || OwnedBy(line.owners, filters.owner);
}

// A record due for the listing: its time, which orders the merge, and what is printed.
struct Pending {
    std::string time;
    std::string shown;
};

// One source read record by record, in the order its files were written.
class SourceReader {
public:
    SourceReader(JournalSource journal, bool withMap, const Filters& queryFilters,
                 Tally& queryTally)
        : source(std::move(journal)), showMap(withMap), filters(queryFilters), tally(queryTally) {}

    // The next matching record; none once every file is read.
    std::optional<Pending> Next() {
        for (;;) {
            if (!reader) {
                if (fileIndex == source.files.size()) return std::nullopt;
                Open(source.files[fileIndex++]);
                continue;
            }
            std::string_view line;
            if (!reader->Next(line)) {
                if (linesInFile > 0 && recordsInFile == 0)
                    tally.troubles.push_back(fileName + " holds no journal record");
                reader.reset();
                continue;
            }
            ++lineNumber;
            ++linesInFile;
            const ScannedLine scanned = ScanJournalLine(line);
            if (scanned.verdict != LineVerdict::Record) {
                Skip(scanned);
                continue;
            }
            ++recordsInFile;
            FollowSeq(scanned.seq);
            if (!Matches(scanned, filters)) continue;
            Count(scanned);
            return Pending{DecodedString(scanned.time),
                           filters.query->json ? std::string(line) : Shown(scanned)};
        }
    }

    // Each skipped line and each gap of this source, in the order they were read.
    const std::vector<std::string>& Notices() const { return notices; }

private:
    void Notice(std::string text) {
        tally.anyNotice = true;
        notices.push_back(std::move(text));
    }

    void Open(const fs::path& file) {
        fileName = file.string();
        reader.emplace(file);
        lineNumber = linesInFile = recordsInFile = 0;
        if (!reader->IsOpen()) {
            tally.troubles.push_back(fileName + " cannot be read");
            reader.reset();
        }
    }

    void Skip(const ScannedLine& scanned) {
        std::string reason;
        if (scanned.verdict == LineVerdict::CutShort) {
            ++tally.cutShort;
            reason = "cut short";
        } else if (scanned.verdict == LineVerdict::NotJson) {
            ++tally.notJson;
            reason = "not JSON";
        } else {
            ++tally.memberMissing;
            reason = fmt::format("member \"{}\" missing", scanned.missing);
        }
        Notice(fmt::format("{} line {}: skipped, {}", fileName, lineNumber, reason));
    }

    // Numbers count up by one across a server's files; a gap is a record never written or lost.
    void FollowSeq(std::string_view text) {
        uint64_t seq = 0;
        std::from_chars(text.data(), text.data() + text.size(), seq);
        if (lastSeq && seq != *lastSeq + 1) {
            ++tally.gaps;
            if (seq > *lastSeq) {
                tally.recordsMissing += seq - *lastSeq - 1;
                Notice(fmt::format("{} line {}: seq {} follows {}, {} missing", fileName,
                                   lineNumber, seq, *lastSeq, seq - *lastSeq - 1));
            } else {
                Notice(fmt::format("{} line {}: seq {} follows {}, out of order", fileName,
                                   lineNumber, seq, *lastSeq));
            }
        }
        lastSeq = seq;
    }

    void Count(const ScannedLine& scanned) {
        const std::string rule = DecodedString(scanned.rule);
        for (const RuleIdentity& identity : AuditRules)
            if (identity.CanDestroy() && rule == identity.journalName)
                ++tally.perRule[static_cast<size_t>(identity.rule)];
        ++tally.matching;
    }

    std::string Shown(const ScannedLine& scanned) const {
        std::string where;
        if (showMap) {
            const std::string map = DecodedString(scanned.map);
            where = Printable(map.empty() ? source.given : map) + " ";
        }
        const bool numberLevel = !scanned.level.empty() && scanned.level.front() != '"';
        return fmt::format("{} {}seq {} {}: {} level {}, owners {}, at {}\n",
                           Printable(DecodedString(scanned.time)), where, scanned.seq,
                           Printable(DecodedString(scanned.rule)),
                           Printable(DecodedString(scanned.creature)),
                           numberLevel ? scanned.level : "?", OwnersText(scanned.owners),
                           LocationText(scanned.location));
    }

    JournalSource source;
    bool showMap;
    const Filters& filters;
    Tally& tally;
    std::optional<LineReader> reader;
    size_t fileIndex = 0;
    std::string fileName;
    uint64_t lineNumber = 0, linesInFile = 0, recordsInFile = 0;
    std::optional<uint64_t> lastSeq;
    std::vector<std::string> notices;
};

std::string Plural(uint64_t count, const char* one, const char* many) {
    return fmt::format("{} {}", count, count == 1 ? one : many);
}

std::string Summary(const Tally& tally) {
    std::string text = fmt::format("{} destroyed:", tally.matching);
    const char* separator = "";
    for (const RuleIdentity& identity : AuditRules) {
        if (!identity.CanDestroy()) continue;  // a journal holds destructions only
        text += fmt::format("{} {} {}", separator, identity.journalName,
                            tally.perRule[static_cast<size_t>(identity.rule)]);
        separator = ",";
    }
    text += "\n";
    if (const uint64_t skipped = tally.cutShort + tally.notJson + tally.memberMissing) {
        std::vector<std::string> reasons;
        if (tally.cutShort > 0) reasons.push_back(fmt::format("{} cut short", tally.cutShort));
        if (tally.notJson > 0) reasons.push_back(fmt::format("{} not JSON", tally.notJson));
        if (tally.memberMissing > 0)
            reasons.push_back(fmt::format("{} with a member missing", tally.memberMissing));
        text += fmt::format("{} skipped: {}\n", Plural(skipped, "line", "lines"),
                            fmt::join(reasons, ", "));
    }
    if (tally.gaps > 0)
        text += fmt::format("{} in seq: {}\n", Plural(tally.gaps, "gap", "gaps"),
                            Plural(tally.recordsMissing, "record missing", "records missing"));
    return text;
}

// Every source's records in one list, oldest first; a server's own order is kept.
int ListJournals(const JournalQuery& query, std::vector<JournalSource> sources) {
    std::set<fs::path> folders;
    std::error_code error;
    for (const JournalSource& source : sources)
        for (const fs::path& file : source.files)
            folders.insert(fs::weakly_canonical(file, error).parent_path());
    const Filters filters{query.owner ? FoldedCase(*query.owner) : "",
                          query.creature ? FoldedCase(*query.creature) : "", &query};
    Tally tally;
    std::vector<SourceReader> readers;
    readers.reserve(sources.size());
    for (JournalSource& source : sources)
        readers.emplace_back(std::move(source), folders.size() > 1, filters, tally);
    std::vector<std::optional<Pending>> pending;
    for (SourceReader& reader : readers) pending.push_back(reader.Next());
    for (;;) {
        std::optional<Pending>* oldest = nullptr;
        for (std::optional<Pending>& next : pending)
            if (next && (oldest == nullptr || next->time < (*oldest)->time)) oldest = &next;
        if (oldest == nullptr) break;
        std::fwrite((*oldest)->shown.data(), 1, (*oldest)->shown.size(), stdout);
        if (query.json) std::fputc('\n', stdout);
        *oldest = readers[static_cast<size_t>(oldest - pending.data())].Next();
    }
    // With --json the standard output holds records only.
    std::FILE* notes = query.json ? stderr : stdout;
    std::fflush(stdout);
    for (const SourceReader& reader : readers)
        for (const std::string& notice : reader.Notices())
            std::fprintf(notes, "%s\n", notice.c_str());
    std::fputs(Summary(tally).c_str(), notes);
    for (const std::string& trouble : tally.troubles)
        std::fprintf(stderr, "tamewarden-check: %s\n", trouble.c_str());
    if (!tally.troubles.empty()) return 2;
    return tally.anyNotice ? 1 : 0;
}

}  // namespace

std::optional<std::string> JournalTimePrefix(const std::string& date) {
    // Digits where a digit belongs, and each field within its range.
    const auto field = [&](size_t at, size_t length, int lowest, int highest) {
        int value = 0;
        const char* first = date.data() + at;
        const auto [end, error] = std::from_chars(first, first + length, value);
        return error == std::errc() && end == first + length && value >= lowest && value <= highest;
    };
    std::string text = date;
    if (text.size() > 10 && text[10] == ' ') text[10] = 'T';
    if (text.ends_with("Z")) text.pop_back();
    const bool dateOk = text.size() >= 10 && text[4] == '-' && text[7] == '-' &&
                        field(0, 4, 1970, 9999) && field(5, 2, 1, 12) && field(8, 2, 1, 31);
    if (!dateOk) return std::nullopt;
    if (text.size() == 10) return text;
    const bool minuteOk = text.size() >= 16 && text[10] == 'T' && text[13] == ':' &&
                          field(11, 2, 0, 23) && field(14, 2, 0, 59);
    if (!minuteOk) return std::nullopt;
    if (text.size() == 16) return text;
    const bool secondOk = text.size() == 19 && text[16] == ':' && field(17, 2, 0, 59);
    return secondOk ? std::optional<std::string>(text) : std::nullopt;
}

std::optional<int> RunJournalQuery(const std::vector<std::string>& arguments) {
    if (std::find(arguments.begin(), arguments.end(), "--journal") == arguments.end())
        return std::nullopt;
    JournalQuery query;
    std::string mistake;
    bool help = false;
    const auto date = [&](const std::string& option, const std::string& text) {
        const std::optional<std::string> prefix = JournalTimePrefix(text);
        if (!prefix) mistake = fmt::format("{} cannot read the date \"{}\"", option, text);
        return prefix;
    };
    for (size_t index = 0; index < arguments.size() && mistake.empty(); ++index) {
        const std::string& argument = arguments[index];
        const bool hasValue = index + 1 < arguments.size();
        if (argument == "--journal") {
            while (index + 1 < arguments.size() && !arguments[index + 1].starts_with("--"))
                query.journals.push_back(arguments[++index]);
        } else if (argument == "--owner" && hasValue) {
            query.owner = arguments[++index];
        } else if (argument == "--creature" && hasValue) {
            query.creature = arguments[++index];
        } else if (argument == "--since" && hasValue) {
            query.since = date(argument, arguments[++index]);
        } else if (argument == "--until" && hasValue) {
            query.until = date(argument, arguments[++index]);
        } else if (argument == "--json") {
            query.json = true;
        } else if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--owner" || argument == "--creature" || argument == "--since" ||
                   argument == "--until") {
            mistake = argument + " needs a value";
        } else {
            mistake = argument.starts_with("-") ? "unknown option " + argument
                                                : "not an option: " + argument;
        }
    }
    if (help) {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (mistake.empty() && query.journals.empty()) mistake = "--journal needs a file or folder";
    if (!mistake.empty()) {
        std::fprintf(stderr, "tamewarden-check: %s\n%s", mistake.c_str(), Usage);
        return 2;
    }
    std::vector<JournalSource> sources;
    try {
        for (const std::string& journal : query.journals)
            sources.push_back(FindJournalFiles(journal));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamewarden-check: %s\n", error.what());
        return 2;
    }
    return ListJournals(query, std::move(sources));
}

}  // namespace checker

#include "checker/JournalReport.h"

#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "audit/RuleIdentity.h"
#include "base/Format.h"
#include "checker/FileTrouble.h"
#include "checker/FoldedCase.h"
#include "checker/JournalLineReader.h"
#include "checker/JournalLineScan.h"
#include "checker/JournalOutline.h"
#include "checker/JournalSources.h"

namespace checker {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr const char* Usage =
    "usage: tamewarden-check --journal FILE|FOLDER... [--owner TEXT] [--creature TEXT]\n"
    "                        [--since DATE] [--until DATE] [--json]\n"
    "  --journal ...     journal files, plugin folders (every server's journal there: "
    "destroyed.jsonl,\n"
    "                    destroyed.2.jsonl, ..., each with its rotated files) or server root "
    "folders\n"
    "  --owner TEXT      only those of an owner: name, EOS id or player id (case ignored)\n"
    "  --creature TEXT   only creatures whose name holds TEXT (case ignored)\n"
    "  --since DATE      only those from DATE on\n"
    "  --until DATE      only those up to the end of DATE\n"
    "  --json            print each matching record whole, one JSON object per line\n"
    "  DATE              UTC: 2026-12-09, 2026-12-09 15:17 or 2026-12-09 15:17:05\n"
    "exit status: 0 all read, 1 lines skipped or records missing, 2 no journal or wrong "
    "arguments\n";

// What the whole query found, beyond the records it lists.
struct Tally {
    std::vector<uint64_t> perRule = std::vector<uint64_t>(AllRules().size());  // by AuditRule
    uint64_t matching = 0, matchingNotDone = 0;
    uint64_t cutShort = 0, notJson = 0, notUtf8 = 0, memberMissing = 0;
    uint64_t gaps = 0, recordsMissing = 0, filesUnread = 0;
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

// A record due for the listing once no mark can follow it any more: what a mark changes.
struct Held {
    uint64_t seq;
    std::string rule;
    Pending pending;      // shown without its line end
    std::string notDone;  // the mark's reason as JSON text; empty while it is done
};

// Matching records are held this long (in matching records read after them) for a mark of not
// done that follows: the plugin writes one right after its record, possibly in the next file.
constexpr size_t HoldWindow = 64;

// One journal read record by record, in the order of its numbering.
class SourceReader {
public:
    SourceReader(JournalSource journal, bool withMap, const Filters& queryFilters,
                 Tally& queryTally)
        : source(std::move(journal)),
          outline(OutlineJournal(source)),
          showMap(withMap),
          filters(queryFilters),
          tally(queryTally) {
        for (const std::string& unreadable : outline.unreadable) Notice(unreadable);
        tally.filesUnread += outline.unreadable.size();
    }

    // The next matching record; none once every file is read.
    std::optional<Pending> Next() {
        for (;;) {
            if (held.size() > HoldWindow || (ended && !held.empty())) return Release();
            if (ended) return std::nullopt;
            if (!reader) {
                if (fileIndex == outline.files.size()) {
                    ended = true;
                    if (!lateMarks.empty()) SettleLateMarks();
                } else {
                    Open(outline.files[fileIndex++]);
                }
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
            if (scanned.verdict == LineVerdict::NotDoneMark) {
                ++recordsInFile;
                Mark(ScannedNumber(scanned.notDone), scanned.reason);
                continue;
            }
            if (scanned.verdict != LineVerdict::Record) {
                Skip(scanned);
                continue;
            }
            ++recordsInFile;
            const uint64_t seq = ScannedNumber(scanned.seq);
            FollowSeq(seq);
            if (!Matches(scanned, filters)) continue;
            held.push_back({seq,
                            DecodedString(scanned.rule),
                            {DecodedString(scanned.time),
                             filters.query->json ? std::string(line) : Shown(scanned)},
                            {}});
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
        if (!reader->IsOpen()) {  // since the outline read it
            ++tally.filesUnread;
            Notice(UnreadableFileNotice(file));
            reader.reset();
        }
    }

    // A destroy the game refused: its record shows so and is not counted as destroyed.
    void Mark(uint64_t seq, std::string_view reason) {
        for (Held& record : held)
            if (record.seq == seq) {
                if (record.notDone.empty()) record.notDone = reason;
                return;
            }
        if (lastReleased && seq <= *lastReleased)
            lateMarks.emplace(seq, fmt::format("{} line {} marks it not done: {}", fileName,
                                               lineNumber, Printable(DecodedString(reason))));
    }

    Pending Release() {
        Held record = std::move(held.front());
        held.pop_front();
        lastReleased = std::max(lastReleased.value_or(0), record.seq);
        if (record.notDone.empty())
            CountDestroyed(record.rule, 1);
        else
            ++tally.matchingNotDone;
        std::string& shown = record.pending.shown;
        if (filters.query->json) {
            if (!record.notDone.empty()) shown.insert(shown.rfind('}'), ",\"done\":false");
        } else {
            if (!record.notDone.empty())
                shown += fmt::format(" (not done: {})", Printable(DecodedString(record.notDone)));
            shown += "\n";
        }
        return std::move(record.pending);
    }

    // Marks read after their record was listed, too late to show on its line: read again for
    // the records they mark, which are then counted as not done and named.
    void SettleLateMarks() {
        for (const fs::path& file : outline.files) {
            JournalLineReader again(file);
            uint64_t number = 0;
            for (std::string_view line; again.Next(line);) {
                ++number;
                const ScannedLine scanned = ScanJournalLine(line);
                if (scanned.verdict != LineVerdict::Record) continue;
                const auto late = lateMarks.find(ScannedNumber(scanned.seq));
                if (late == lateMarks.end() || !Matches(scanned, filters)) continue;
                CountDestroyed(DecodedString(scanned.rule), -1);
                ++tally.matchingNotDone;
                Notice(fmt::format("{} line {}: seq {} listed as destroyed, but {}", file.string(),
                                   number, late->first, late->second));
                lateMarks.erase(late);
            }
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
        } else if (scanned.verdict == LineVerdict::NotUtf8) {
            ++tally.notUtf8;
            reason = "not UTF-8";
        } else {
            ++tally.memberMissing;
            reason = fmt::format("member \"{}\" missing", scanned.missing);
        }
        Notice(fmt::format("{} line {}: skipped, {}", fileName, lineNumber, reason));
    }

    // Numbers count up by one across a journal's files; a gap is a record never written or lost.
    void FollowSeq(uint64_t seq) {
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

    // A record listed as destroyed (1), or one listed so and marked not done too late (-1).
    void CountDestroyed(const std::string& rule, int change) {
        const auto by = static_cast<uint64_t>(static_cast<int64_t>(change));
        for (const RuleIdentity& identity : AllRules())
            if (identity.CanDestroy() && rule == identity.journalName)
                tally.perRule[static_cast<size_t>(identity.rule)] += by;
        tally.matching += by;
    }

    // Without its line end, which follows any mark.
    std::string Shown(const ScannedLine& scanned) const {
        std::string where;
        if (showMap) {
            const std::string map = DecodedString(scanned.map);
            where = Printable(map.empty() ? source.given : map) + " ";
        }
        const bool numberLevel = !scanned.level.empty() && scanned.level.front() != '"';
        return fmt::format(
            "{} {}seq {} {}: {} level {}, owners {}, at {}", Printable(DecodedString(scanned.time)),
            where, scanned.seq, Printable(DecodedString(scanned.rule)),
            Printable(DecodedString(scanned.creature)), numberLevel ? scanned.level : "?",
            OwnersText(scanned.owners), LocationText(scanned.location));
    }

    JournalSource source;
    JournalOutline outline;
    bool showMap;
    const Filters& filters;
    Tally& tally;
    std::optional<JournalLineReader> reader;
    size_t fileIndex = 0;
    std::string fileName;
    uint64_t lineNumber = 0, linesInFile = 0, recordsInFile = 0;
    std::optional<uint64_t> lastSeq;
    std::deque<Held> held;                      // oldest first
    std::optional<uint64_t> lastReleased;       // the highest seq listed
    std::map<uint64_t, std::string> lateMarks;  // seq to where its mark was read
    bool ended = false;
    std::vector<std::string> notices;
};

std::string Plural(uint64_t count, const char* one, const char* many) {
    return fmt::format("{} {}", count, count == 1 ? one : many);
}

std::string Summary(const Tally& tally) {
    std::string text = fmt::format("{} destroyed:", tally.matching);
    const char* separator = "";
    for (const RuleIdentity& identity : AllRules()) {
        if (!identity.CanDestroy()) continue;  // a journal holds destructions only
        text += fmt::format("{} {} {}", separator, identity.journalName,
                            tally.perRule[static_cast<size_t>(identity.rule)]);
        separator = ",";
    }
    text += "\n";
    if (tally.matchingNotDone > 0)
        text += fmt::format("{} not done\n", Plural(tally.matchingNotDone, "record", "records"));
    if (tally.filesUnread > 0)
        text += fmt::format("{} not read\n", Plural(tally.filesUnread, "file", "files"));
    if (const uint64_t skipped =
            tally.cutShort + tally.notJson + tally.notUtf8 + tally.memberMissing) {
        std::vector<std::string> reasons;
        if (tally.cutShort > 0) reasons.push_back(fmt::format("{} cut short", tally.cutShort));
        if (tally.notJson > 0) reasons.push_back(fmt::format("{} not JSON", tally.notJson));
        if (tally.notUtf8 > 0) reasons.push_back(fmt::format("{} not UTF-8", tally.notUtf8));
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

// Every journal's records in one list, oldest first; a journal's own order is kept. Lines name
// their map once there is more than one journal.
int ListJournals(const JournalQuery& query, std::vector<JournalSource> sources) {
    std::set<std::pair<fs::path, std::string>> journals;
    std::error_code error;
    for (const JournalSource& source : sources)
        for (const fs::path& file : source.files)
            journals.emplace(fs::weakly_canonical(file, error).parent_path(), source.stem);
    const Filters filters{query.owner ? FoldedCase(*query.owner) : "",
                          query.creature ? FoldedCase(*query.creature) : "", &query};
    Tally tally;
    std::vector<SourceReader> readers;
    readers.reserve(sources.size());
    for (JournalSource& source : sources)
        readers.emplace_back(std::move(source), journals.size() > 1, filters, tally);
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
        for (const std::string& given : query.journals)
            for (JournalSource& journal : FindJournals(given))
                sources.push_back(std::move(journal));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tamewarden-check: %s\n", error.what());
        return 2;
    }
    return ListJournals(query, std::move(sources));
}

}  // namespace checker

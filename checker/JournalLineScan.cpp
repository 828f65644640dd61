#include "checker/JournalLineScan.h"

#include <array>
#include <cctype>
#include <charconv>
#include <nlohmann/json.hpp>
#include <string>

namespace checker {
namespace {

// Deeper nesting than any record holds is refused rather than followed.
constexpr int DeepestNesting = 32;

// The bytes a string holds as they are: what the scan of a string passes over in a tight loop.
constexpr auto IsPlainInString = [] {
    std::array<bool, 256> plain{};
    for (size_t unit = 0x20; unit < 0x80; ++unit) plain[unit] = unit != '"' && unit != '\\';
    return plain;
}();

// The length a UTF-8 sequence has by its first byte, 0 for a byte no sequence starts with.
size_t Utf8LeadLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 0;
}

// The length of the well-formed UTF-8 sequence at `at` (shortest form, no surrogate, at most
// U+10FFFF), 0 when there is none.
size_t Utf8SequenceLength(const char* at, const char* end) {
    const auto lead = static_cast<unsigned char>(*at);
    const size_t length = Utf8LeadLength(lead);
    if (length <= 1) return length;
    if (static_cast<size_t>(end - at) < length) return 0;
    constexpr uint32_t Lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    uint32_t code = lead & (0x7Fu >> length);
    for (size_t index = 1; index < length; ++index) {
        const auto next = static_cast<unsigned char>(at[index]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < Lowest[length] || code > 0x10FFFF || surrogate ? 0 : length;
}

// Whether the line ends inside a sequence that was well begun: a line cut short.
bool EndsInsideSequence(const char* at, const char* end) {
    if (static_cast<size_t>(end - at) >= Utf8LeadLength(static_cast<unsigned char>(*at)))
        return false;
    for (const char* next = at + 1; next != end; ++next)
        if ((static_cast<unsigned char>(*next) & 0xC0) != 0x80) return false;
    return true;
}

class Scanner {
public:
    explicit Scanner(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    bool AtEnd() const { return at == end; }

    // Whether the scan stopped at a string that is not valid UTF-8.
    bool StoppedAtBadUtf8() const { return badUtf8; }

    void SkipSpace() {
        while (at != end && (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n')) ++at;
    }

    bool Take(char expected) {
        SkipSpace();
        if (at == end || *at != expected) return false;
        ++at;
        return true;
    }

    bool String() {
        if (at == end || *at != '"') return false;
        for (++at; at != end; ++at) {
            while (at != end && IsPlainInString[static_cast<unsigned char>(*at)]) ++at;
            if (at == end) break;
            const auto unit = static_cast<unsigned char>(*at);
            if (unit == '"') {
                ++at;
                return true;
            }
            if (unit < 0x20) return false;
            if (unit == '\\' && !Escape()) return false;
            if (unit >= 0x80) {
                const size_t length = Utf8SequenceLength(at, end);
                if (length == 0) {
                    badUtf8 = !EndsInsideSequence(at, end);
                    if (!badUtf8) at = end;
                    return false;
                }
                at += length - 1;
            }
        }
        return false;
    }

    // The members of an object at the top, each handed to `member` with its value's text.
    template <typename Member>
    bool TopObject(Member member) {
        return Take('{') && Members(member);
    }

    // Every element of an array, each object's members handed to `member`, one object at a time.
    template <typename Member, typename ObjectEnd>
    bool ArrayOfObjects(Member member, ObjectEnd objectEnd) {
        if (!Take('[')) return false;
        if (Take(']')) return true;
        do {
            SkipSpace();
            if (at != end && *at == '{') {
                ++at;
                if (!Members(member)) return false;
                objectEnd();
            } else if (!Value(1)) {
                return false;
            }
        } while (Take(','));
        return Take(']');
    }

private:
    template <typename Member>
    bool Members(Member member) {
        if (Take('}')) return true;
        do {
            SkipSpace();
            const char* keyStart = at;
            if (!String()) return false;
            const std::string_view key(keyStart + 1, static_cast<size_t>(at - keyStart) - 2);
            if (!Take(':')) return false;
            SkipSpace();
            const char* valueStart = at;
            if (!Value(1)) return false;
            member(key, std::string_view(valueStart, static_cast<size_t>(at - valueStart)));
        } while (Take(','));
        return Take('}');
    }

    bool Escape() {
        if (++at == end) return false;
        switch (*at) {
            case '"':
            case '\\':
            case '/':
            case 'b':
            case 'f':
            case 'n':
            case 'r':
            case 't':
                return true;
            case 'u':
                for (int digit = 0; digit < 4; ++digit)
                    if (++at == end || !std::isxdigit(static_cast<unsigned char>(*at)))
                        return false;
                return true;
            default:
                return false;
        }
    }

    bool Digits() {
        const char* start = at;
        while (at != end && *at >= '0' && *at <= '9') ++at;
        return at != start;
    }

    bool Number() {
        if (at != end && *at == '-') ++at;
        if (at != end && *at == '0')
            ++at;
        else if (!Digits())
            return false;
        if (at != end && *at == '.' && (++at, !Digits())) return false;
        if (at != end && (*at == 'e' || *at == 'E')) {
            ++at;
            if (at != end && (*at == '+' || *at == '-')) ++at;
            if (!Digits()) return false;
        }
        return true;
    }

    bool Literal(std::string_view word) {
        for (const char unit : word)
            if (at == end || *at++ != unit) return false;
        return true;
    }

    bool Value(int depth) {
        SkipSpace();
        if (at == end || depth > DeepestNesting) return false;
        switch (*at) {
            case '"':
                return String();
            case '{':
                ++at;
                if (Take('}')) return true;
                do {
                    SkipSpace();
                    if (!String() || !Take(':') || !Value(depth + 1)) return false;
                } while (Take(','));
                return Take('}');
            case '[':
                ++at;
                if (Take(']')) return true;
                do {
                    if (!Value(depth + 1)) return false;
                } while (Take(','));
                return Take(']');
            case 't':
                return Literal("true");
            case 'f':
                return Literal("false");
            case 'n':
                return Literal("null");
            default:
                return Number();
        }
    }

    const char* at;
    const char* end;
    bool badUtf8 = false;
};

bool IsString(std::string_view member) { return !member.empty() && member.front() == '"'; }

bool IsWholeNumber(std::string_view member) {
    if (member.empty()) return false;
    for (const char unit : member)
        if (unit < '0' || unit > '9') return false;
    return true;
}

}  // namespace

ScannedLine ScanJournalLine(std::string_view line) {
    ScannedLine scanned;
    Scanner scanner(line);
    const bool whole = scanner.TopObject([&](std::string_view key, std::string_view value) {
        // The first of a member written twice counts, as it is the one a reader meets first.
        std::string_view* slot = key == "time"       ? &scanned.time
                                 : key == "seq"      ? &scanned.seq
                                 : key == "rule"     ? &scanned.rule
                                 : key == "map"      ? &scanned.map
                                 : key == "creature" ? &scanned.creature
                                 : key == "level"    ? &scanned.level
                                 : key == "owners"   ? &scanned.owners
                                 : key == "location" ? &scanned.location
                                 : key == "notDone"  ? &scanned.notDone
                                 : key == "reason"   ? &scanned.reason
                                                     : nullptr;
        if (slot != nullptr && slot->empty()) *slot = value;
    });
    if (!whole) {
        scanned.verdict = scanner.StoppedAtBadUtf8() ? LineVerdict::NotUtf8
                          : scanner.AtEnd()          ? LineVerdict::CutShort
                                                     : LineVerdict::NotJson;
        return scanned;
    }
    scanner.SkipSpace();
    if (!scanner.AtEnd()) return scanned;  // text after the object
    if (!scanned.notDone.empty() && scanned.seq.empty()) {
        if (!IsString(scanned.time))
            scanned.missing = "time";
        else if (!IsWholeNumber(scanned.notDone))
            scanned.missing = "notDone";
        else if (!IsString(scanned.reason))
            scanned.missing = "reason";
        scanned.verdict =
            scanned.missing.empty() ? LineVerdict::NotDoneMark : LineVerdict::MemberMissing;
        return scanned;
    }
    if (!IsString(scanned.time))
        scanned.missing = "time";
    else if (!IsWholeNumber(scanned.seq))
        scanned.missing = "seq";
    else if (!IsString(scanned.rule))
        scanned.missing = "rule";
    else if (!IsString(scanned.creature))
        scanned.missing = "creature";
    scanned.verdict = scanned.missing.empty() ? LineVerdict::Record : LineVerdict::MemberMissing;
    return scanned;
}

void ForEachOwner(std::string_view owners, const std::function<void(const ScannedOwner&)>& each) {
    ScannedOwner owner;
    Scanner(owners).ArrayOfObjects(
        [&](std::string_view key, std::string_view value) {
            if (key == "name") owner.name = value;
            if (key == "playerId") owner.playerId = value;
            if (key == "eosId") owner.eosId = value;
        },
        [&] {
            each(owner);
            owner = {};
        });
}

uint64_t ScannedNumber(std::string_view member) {
    uint64_t number = 0;
    std::from_chars(member.data(), member.data() + member.size(), number);
    return number;
}

std::string DecodedString(std::string_view member) {
    if (member.size() < 2 || member.front() != '"') return {};
    const std::string_view inside = member.substr(1, member.size() - 2);
    if (inside.find('\\') == std::string_view::npos) return std::string(inside);
    const nlohmann::json decoded = nlohmann::json::parse(member, nullptr, false);
    return decoded.is_string() ? decoded.get<std::string>() : std::string(inside);
}

}  // namespace checker

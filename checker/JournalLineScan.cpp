#include "checker/JournalLineScan.h"

#include <cctype>
#include <nlohmann/json.hpp>
#include <string>

namespace checker {
namespace {

// Deeper nesting than any record holds is refused rather than followed.
constexpr int DeepestNesting = 32;

class Scanner {
public:
    explicit Scanner(std::string_view text) : at(text.data()), end(text.data() + text.size()) {}

    bool AtEnd() const { return at == end; }

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
            const auto unit = static_cast<unsigned char>(*at);
            if (unit == '"') {
                ++at;
                return true;
            }
            if (unit < 0x20) return false;
            if (unit == '\\' && !Escape()) return false;
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
                                                     : nullptr;
        if (slot != nullptr && slot->empty()) *slot = value;
    });
    if (!whole) {
        scanned.verdict = scanner.AtEnd() ? LineVerdict::CutShort : LineVerdict::NotJson;
        return scanned;
    }
    scanner.SkipSpace();
    if (!scanner.AtEnd()) return scanned;  // text after the object
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

std::string DecodedString(std::string_view member) {
    if (member.size() < 2 || member.front() != '"') return {};
    const std::string_view inside = member.substr(1, member.size() - 2);
    if (inside.find('\\') == std::string_view::npos) return std::string(inside);
    const nlohmann::json decoded = nlohmann::json::parse(member, nullptr, false);
    return decoded.is_string() ? decoded.get<std::string>() : std::string(inside);
}

}  // namespace checker

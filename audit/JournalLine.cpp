#include "audit/JournalLine.h"

#include <fmt/chrono.h>
#include <fmt/compile.h>

#include <cmath>
#include <ctime>
#include <iterator>
#include <type_traits>
#include <variant>

#include "audit/RuleIdentity.h"

namespace {

constexpr std::string_view ReplacementCharacter = "\xEF\xBF\xBD";

// The length of the valid UTF-8 sequence at the start of `text`, 0 when it is not one.
size_t ValidSequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    uint32_t lowest = 0;
    uint32_t code = 0;
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, lowest = 0x80, code = lead & 0x1Fu;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, lowest = 0x800, code = lead & 0x0Fu;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, lowest = 0x10000, code = lead & 0x07u;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t at = 1; at < length; ++at) {
        const auto next = static_cast<unsigned char>(text[at]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < lowest || code > 0x10FFFF || surrogate ? 0 : length;
}

template <typename... Writers>
struct Overloaded : Writers... {
    using Writers::operator()...;
};
// Spelt out for clang 14, which deduces no aggregate's arguments.
template <typename... Writers>
Overloaded(Writers...) -> Overloaded<Writers...>;

void Append(fmt::memory_buffer& out, std::string_view text) { out.append(text); }

void AppendInteger(fmt::memory_buffer& out, int64_t number) {
    const fmt::format_int text(number);
    out.append(text.data(), text.data() + text.size());
}

// Floats stay floats, so a limit of 0.1 reads 0.1 and not its double widening.
template <typename Number>
void AppendNumber(fmt::memory_buffer& out, Number number) {
    if (std::isfinite(number))
        fmt::format_to(std::back_inserter(out), FMT_COMPILE("{}"), number);
    else
        Append(out, "null");  // JSON has no infinity and no NaN
}

// The date and time to the second are formatted once per second: a burst shares them. Records
// are made on the game thread only.
void AppendTime(fmt::memory_buffer& out, std::chrono::system_clock::time_point time) {
    static int64_t formattedSecond = -1;
    static std::string secondText;
    const auto sinceEpoch = time.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds).count();
    if (seconds.count() != formattedSecond) {
        formattedSecond = seconds.count();
        const std::tm utc = fmt::gmtime(static_cast<std::time_t>(formattedSecond));
        secondText = fmt::format("\"{:%Y-%m-%dT%H:%M:%S}.", utc);
    }
    Append(out, secondText);
    fmt::format_to(std::back_inserter(out), FMT_COMPILE("{:03}Z\""), milliseconds);
}

void AppendOwners(fmt::memory_buffer& out, const std::vector<Owner>& owners) {
    out.push_back('[');
    for (size_t at = 0; at < owners.size(); ++at) {
        if (at > 0) out.push_back(',');
        Append(out, "{\"name\":");
        AppendJsonString(out, owners[at].name);
        if (owners[at].playerId) {
            Append(out, ",\"playerId\":");
            AppendInteger(out, *owners[at].playerId);
        }
        Append(out, ",\"eosId\":");
        AppendJsonString(out, owners[at].eosId);
        out.push_back('}');
    }
    out.push_back(']');
}

// One writer per kind: a kind of comparison without one here does not build.
void AppendCompared(fmt::memory_buffer& out, const Comparison& compared) {
    std::visit(Overloaded{
                   [&](const LevelThreshold& level) {
                       fmt::format_to(std::back_inserter(out), "{{\"threshold\":{}}}",
                                      level.threshold);
                   },
                   [&](const LevelAgainstPoints& points) {
                       fmt::format_to(std::back_inserter(out), "{{\"level\":{},\"pointsSum\":{}}}",
                                      points.level, points.pointsSum);
                   },
                   [&](const StatAgainstLimit& stat) {
                       fmt::format_to(std::back_inserter(out),
                                      "{{\"stat\":\"{}\",\"limit\":", Game::Stats[stat.stat].name);
                       AppendNumber(out, stat.limit);
                       Append(out, ",\"value\":");
                       AppendNumber(out, stat.value);
                       out.push_back('}');
                   },
               },
               compared);
}

template <typename Number>
void AppendPerStat(fmt::memory_buffer& out, const char* opening, const PerStat<Number>& values) {
    Append(out, opening);
    for (size_t stat = 0; stat < values.size(); ++stat) {
        if (stat > 0) out.push_back(',');
        if constexpr (std::is_floating_point_v<Number>)
            AppendNumber(out, values[stat]);
        else
            AppendInteger(out, values[stat]);
    }
    out.push_back(']');
}

}  // namespace

void AppendJsonString(fmt::memory_buffer& out, std::string_view text) {
    out.push_back('"');
    size_t at = 0;
    while (at < text.size()) {
        // A run of printable ASCII goes in as it is.
        size_t end = at;
        while (end < text.size()) {
            const auto unit = static_cast<unsigned char>(text[end]);
            if (unit < 0x20 || unit >= 0x7F || unit == '"' || unit == '\\') break;
            ++end;
        }
        Append(out, text.substr(at, end - at));
        at = end;
        if (at == text.size()) break;
        const auto unit = static_cast<unsigned char>(text[at]);
        if (unit == '"' || unit == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(unit));
            ++at;
        } else if (unit < 0x20 || unit == 0x7F) {
            fmt::format_to(std::back_inserter(out), FMT_COMPILE("\\u{:04x}"), unit);
            ++at;
        } else if (const size_t length = ValidSequenceLength(text.substr(at)); length > 0) {
            Append(out, text.substr(at, length));
            at += length;
        } else {
            Append(out, ReplacementCharacter);
            ++at;
        }
    }
    out.push_back('"');
}

void AppendJournalLine(fmt::memory_buffer& out, const DestructionRecord& record, uint64_t seq,
                       std::chrono::system_clock::time_point time) {
    Append(out, "{\"time\":");
    AppendTime(out, time);
    Append(out, ",\"seq\":");
    AppendInteger(out, static_cast<int64_t>(seq));
    Append(out, ",\"rule\":\"");
    Append(out, IdentityOf(record.rule).journalName);
    Append(out, "\",\"map\":");
    AppendJsonString(out, record.map);
    Append(out, ",\"creature\":");
    AppendJsonString(out, record.creature);
    Append(out, ",\"level\":");
    AppendInteger(out, record.level);
    Append(out, ",\"team\":");
    AppendInteger(out, record.team);
    Append(out, ",\"location\":");
    if (record.location) {
        out.push_back('[');
        for (size_t axis = 0; axis < 3; ++axis) {
            if (axis > 0) out.push_back(',');
            AppendNumber(out, (*record.location)[axis]);
        }
        out.push_back(']');
    } else {
        Append(out, "null");
    }
    Append(out, ",\"owners\":");
    AppendOwners(out, record.owners);
    Append(out, ",\"compared\":");
    AppendCompared(out, record.compared);
    // Per stat, in the engine's order of the stats: what rebuilds the creature.
    AppendPerStat(out, ",\"levelUpPoints\":[", record.levelUpPoints);
    AppendPerStat(out, ",\"tamedLevelUpPoints\":[", record.tamedLevelUpPoints);
    AppendPerStat(out, ",\"tamedMutations\":[", record.tamedMutations);
    AppendPerStat(out, ",\"statValues\":[", record.statValues);
    Append(out, ",\"report\":");
    AppendJsonString(out, record.report);
    Append(out, "}\n");
}

void AppendNotDoneLine(fmt::memory_buffer& out, uint64_t seq, std::string_view reason,
                       std::chrono::system_clock::time_point time) {
    Append(out, "{\"time\":");
    AppendTime(out, time);
    Append(out, ",\"notDone\":");
    AppendInteger(out, static_cast<int64_t>(seq));
    Append(out, ",\"reason\":");
    AppendJsonString(out, reason);
    Append(out, "}\n");
}

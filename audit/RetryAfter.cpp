#include "audit/RetryAfter.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

using Seconds = std::chrono::duration<double>;

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}

// Digits, with a fraction allowed: a peer that is more precise than the standard asks is read.
std::optional<Seconds> DelaySeconds(std::string_view text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front())))
        return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    const double seconds = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(seconds)) return std::nullopt;
    return Seconds(seconds);
}

class Reader {
public:
    explicit Reader(std::string_view text) : rest(text) {}

    bool Literal(std::string_view expected) {
        if (!rest.starts_with(expected)) return false;
        rest.remove_prefix(expected.size());
        return true;
    }
    // Exactly `digits` digits, or between 1 and `digits` when `exact` is false.
    std::optional<int> Number(size_t digits, bool exact = true) {
        size_t length = 0;
        int value = 0;
        while (length < digits && length < rest.size() &&
               std::isdigit(static_cast<unsigned char>(rest[length])))
            value = value * 10 + (rest[length++] - '0');
        if (length == 0 || (exact && length != digits)) return std::nullopt;
        rest.remove_prefix(length);
        return value;
    }
    std::optional<unsigned> Month() {
        static constexpr std::array<std::string_view, 12> names = {
            "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        for (size_t index = 0; index < names.size(); ++index)
            if (Literal(names[index])) return static_cast<unsigned>(index + 1);
        return std::nullopt;
    }
    // A day name, short or long, followed by `after`.
    bool DayName(std::string_view after) {
        const size_t end = rest.find(after);
        if (end == std::string_view::npos || end < 3) return false;
        for (size_t at = 0; at < end; ++at)
            if (!std::isalpha(static_cast<unsigned char>(rest[at]))) return false;
        rest.remove_prefix(end + after.size());
        return true;
    }
    std::optional<std::chrono::seconds> TimeOfDay() {
        const auto hours = Number(2);
        if (!hours || !Literal(":")) return std::nullopt;
        const auto minutes = Number(2);
        if (!minutes || !Literal(":")) return std::nullopt;
        const auto seconds = Number(2);
        if (!seconds || *hours > 23 || *minutes > 59 || *seconds > 60) return std::nullopt;
        return std::chrono::hours(*hours) + std::chrono::minutes(*minutes) +
               std::chrono::seconds(*seconds);
    }
    bool AtEnd() const { return rest.empty(); }

private:
    std::string_view rest;
};

std::optional<std::chrono::system_clock::time_point> Moment(int year, unsigned month, int day,
                                                            std::chrono::seconds time) {
    const std::chrono::year_month_day date{std::chrono::year(year), std::chrono::month(month),
                                           std::chrono::day(static_cast<unsigned>(day))};
    if (!date.ok()) return std::nullopt;
    return std::chrono::sys_days(date) + time;
}

// The three forms a recipient must accept: "Sun, 06 Nov 1994 08:49:37 GMT" (the one senders
// use), "Sunday, 06-Nov-94 08:49:37 GMT" and "Sun Nov  6 08:49:37 1994".
std::optional<std::chrono::system_clock::time_point> HttpDate(std::string_view text) {
    {
        Reader reader(text);
        if (reader.DayName(", ")) {
            const auto day = reader.Number(2);
            if (day && reader.Literal(" ")) {
                const auto month = reader.Month();
                if (month && reader.Literal(" ")) {
                    const auto year = reader.Number(4);
                    if (year && reader.Literal(" ")) {
                        const auto time = reader.TimeOfDay();
                        if (time && reader.Literal(" GMT") && reader.AtEnd())
                            return Moment(*year, *month, *day, *time);
                    }
                }
            }
        }
    }
    {
        Reader reader(text);
        if (reader.DayName(", ")) {
            const auto day = reader.Number(2);
            if (day && reader.Literal("-")) {
                const auto month = reader.Month();
                if (month && reader.Literal("-")) {
                    const auto year = reader.Number(2);
                    if (year && reader.Literal(" ")) {
                        const auto time = reader.TimeOfDay();
                        // Two-digit years: the standard's rule of fifty years ahead, kept simple.
                        if (time && reader.Literal(" GMT") && reader.AtEnd())
                            return Moment(*year < 70 ? 2000 + *year : 1900 + *year, *month, *day,
                                          *time);
                    }
                }
            }
        }
    }
    Reader reader(text);
    if (!reader.DayName(" ")) return std::nullopt;
    const auto month = reader.Month();
    if (!month || !reader.Literal(" ")) return std::nullopt;
    reader.Literal(" ");  // a day of one digit is padded with a blank
    const auto day = reader.Number(2, false);
    if (!day || !reader.Literal(" ")) return std::nullopt;
    const auto time = reader.TimeOfDay();
    if (!time || !reader.Literal(" ")) return std::nullopt;
    const auto year = reader.Number(4);
    if (!year || !reader.AtEnd()) return std::nullopt;
    return Moment(*year, *month, *day, *time);
}

}  // namespace

std::optional<Seconds> RetryAfterDelay(std::string_view value,
                                       std::chrono::system_clock::time_point now) {
    const std::string_view text = Trimmed(value);
    if (const auto seconds = DelaySeconds(text)) return seconds;
    const auto date = HttpDate(text);
    if (!date) return std::nullopt;
    return std::max(Seconds::zero(), std::chrono::duration_cast<Seconds>(*date - now));
}

#include "audit/TextConversion.h"

#include <string>
#include <string_view>

#include "host/StringHelpers.h"

namespace {

bool IsHighSurrogate(TCHAR unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(TCHAR unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

bool IsAscii(EngineTextView text) {
    for (const TCHAR unit : text)
        if (unit > 0x7F) return false;
    return true;
}

bool HasUnpairedSurrogate(EngineTextView text) {
    for (size_t at = 0; at < text.size(); ++at) {
        if (IsHighSurrogate(text[at]) && at + 1 < text.size() && IsLowSurrogate(text[at + 1]))
            ++at;
        else if (IsHighSurrogate(text[at]) || IsLowSurrogate(text[at]))
            return true;
    }
    return false;
}

std::basic_string<TCHAR> ReplaceUnpairedSurrogates(EngineTextView text) {
    std::basic_string<TCHAR> repaired(text);
    for (size_t at = 0; at < repaired.size(); ++at) {
        if (IsHighSurrogate(repaired[at]) && at + 1 < repaired.size() &&
            IsLowSurrogate(repaired[at + 1]))
            ++at;
        else if (IsHighSurrogate(repaired[at]) || IsLowSurrogate(repaired[at]))
            repaired[at] = TW_TEXT('\uFFFD');
    }
    return repaired;
}

}  // namespace

std::string ToAsciiText(const FString& text) {
    const EngineTextView units = text.View();
    std::string ascii(units.size(), '?');
    for (size_t at = 0; at < units.size(); ++at)
        ascii[at] = units[at] <= 0x7F ? static_cast<char>(units[at]) : '?';
    return ascii;
}

std::string ToUtf8Text(const FString& text) {
    if (text.IsEmpty()) return {};
    EngineTextView units = text.View();
    // ASCII is its own UTF-8; most names and ids are, and need no round trip through the host.
    if (IsAscii(units)) return ToAsciiText(text);
    std::basic_string<TCHAR> repaired;
    if (HasUnpairedSurrogate(units)) {
        repaired = ReplaceUnpairedSurrogates(units);
        units = repaired;
    }
    const auto length = static_cast<int32_t>(units.size());
    const int32_t size = UE::Core::Private::GetConvertedLength(units.data(), length);
    std::string utf8(static_cast<size_t>(size), '\0');
    UE::Core::Private::Convert(utf8.data(), size, units.data(), length);
    return utf8;
}

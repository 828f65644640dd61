// The host's string operations: FString construction and appending, UTF-16 to UTF-8 conversion,
// case-insensitive comparison, and the stand-in's own UTF-8 helpers.
#include <algorithm>
#include <cstdint>
#include <string>

#include "host/AsaApi.h"
#include "host/EngineTypes.h"
#include "standin/Host.h"
#include "standin/Text.h"

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Like the engine's converter, an unpaired surrogate is passed through as its own three-byte
// form, which is not valid UTF-8; callers that need valid text must not hand one in. The units are
// the engine's or the world's, the same UTF-16 in types that differ on Windows.
template <typename Unit>
std::string EncodeUtf8(std::basic_string_view<Unit> text) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        // Most text is ASCII: copy a run of it at once.
        size_t run = at;
        while (run < text.size() && text[run] < 0x80) ++run;
        if (run > at) {
            const size_t start = out.size();
            out.resize(start + (run - at));
            for (size_t unit = at; unit < run; ++unit)
                out[start + unit - at] = static_cast<char>(text[unit]);
            at = run;
            if (at == text.size()) break;
        }
        char32_t unit = text[at];
        if (IsHighSurrogate(unit) && at + 1 < text.size() && IsLowSurrogate(text[at + 1])) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[at + 1] - 0xDC00);
            ++at;
        }
        standin::AppendUtf8(out, unit);
    }
    return out;
}

// Invalid bytes become U+FFFD, so any 8-bit text gives a well-formed string.
std::u16string DecodeUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        size_t length = lead < 0x80           ? 1
                        : (lead >> 5) == 0x6  ? 2
                        : (lead >> 4) == 0xE  ? 3
                        : (lead >> 3) == 0x1E ? 4
                                              : 0;
        char32_t code = length == 1 ? lead : static_cast<char32_t>(lead & (0x7F >> length));
        bool valid = length != 0 && at + length <= text.size();
        for (size_t i = 1; valid && i < length; ++i) {
            const auto next = static_cast<unsigned char>(text[at + i]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && code >= smallest[length] && code <= 0x10FFFF &&
                !(code >= 0xD800 && code <= 0xDFFF);
        if (!valid) {
            out += u'\uFFFD';
            at += 1;
            continue;
        }
        at += length;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

template <typename Unit>
void AssignUnits(FString& target, const Unit* units, size_t count) {
    static_assert(sizeof(Unit) == sizeof(TCHAR));
    target.Data.Empty();
    if (count == 0) return;
    target.Data.Reserve(static_cast<int32_t>(count) + 1);
    for (size_t at = 0; at < count; ++at)
        target.Data.Data[target.Data.ArrayNum++] = static_cast<TCHAR>(units[at]);
    target.Data.Add(TW_TEXT('\0'));
}

}  // namespace

// The 8-bit text is read as UTF-8. Most texts are ASCII, where each byte is its own unit and no
// decoding is needed.
FString::FString(const char* text) {
    STANDIN_HOST_OPERATION("FString::FString(const char*)");
    if (text == nullptr) return;
    const std::string_view bytes(text);
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char byte) {
        return static_cast<unsigned char>(byte) < 0x80;
    });
    if (!ascii) {
        const std::u16string units = DecodeUtf8(bytes);
        AssignUnits(*this, units.data(), units.size());
        return;
    }
    if (bytes.empty()) return;
    Data.Reserve(static_cast<int32_t>(bytes.size()) + 1);
    for (const char byte : bytes) Data.Data[Data.ArrayNum++] = static_cast<TCHAR>(byte);
    Data.Data[Data.ArrayNum++] = TW_TEXT('\0');
}

FString::FString(const TCHAR* text) {
    STANDIN_HOST_OPERATION("FString::FString(const TCHAR*)");
    if (text != nullptr) AssignUnits(*this, text, EngineTextView(text).size());
}

FString::FString(int32_t length, const TCHAR* text) {
    STANDIN_HOST_OPERATION("FString::FString(int32_t,const TCHAR*)");
    if (text != nullptr && length > 0) AssignUnits(*this, text, static_cast<size_t>(length));
}

void FString::AppendChars(const TCHAR* chars, int32_t count) {
    STANDIN_HOST_OPERATION("FString::AppendChars");
    if (count <= 0) return;
    if (Data.ArrayNum > 0) Data.ArrayNum -= 1;  // drop the terminator, then put it back
    // Grown geometrically, so joining many lines does not reallocate at every line.
    const int64_t needed = static_cast<int64_t>(Data.ArrayNum) + count + 1;
    if (needed > Data.ArrayMax)
        Data.Reserve(static_cast<int32_t>(std::min<int64_t>(
            std::max<int64_t>(needed, static_cast<int64_t>(Data.ArrayMax) * 2), INT32_MAX)));
    Data.Append(chars, count);
    Data.Add(TW_TEXT('\0'));
}

int32_t FGenericPlatformStricmp::Strnicmp(const TCHAR* left, const TCHAR* right, uint64_t count) {
    STANDIN_HOST_OPERATION("FGenericPlatformStricmp::Strnicmp");
    const auto fold = [](TCHAR unit) -> int32_t {
        return unit >= TW_TEXT('A') && unit <= TW_TEXT('Z') ? unit + (TW_TEXT('a') - TW_TEXT('A'))
                                                            : unit;
    };
    for (uint64_t i = 0; i < count; ++i) {
        const int32_t difference = fold(left[i]) - fold(right[i]);
        if (difference != 0 || left[i] == 0) return difference;
    }
    return 0;
}

namespace UE::Core::Private {

int32_t GetConvertedLength(const TCHAR* source, int32_t sourceLength) {
    STANDIN_HOST_OPERATION("UE::Core::Private::GetConvertedLength");
    return static_cast<int32_t>(
        EncodeUtf8(EngineTextView(source, static_cast<size_t>(sourceLength))).size());
}

char* Convert(char* destination, int32_t destinationLength, const TCHAR* source,
              int32_t sourceLength) {
    STANDIN_HOST_OPERATION("UE::Core::Private::Convert");
    const std::string text = EncodeUtf8(EngineTextView(source, static_cast<size_t>(sourceLength)));
    if (static_cast<int32_t>(text.size()) > destinationLength) return nullptr;
    text.copy(destination, text.size());
    return destination + text.size();
}

}  // namespace UE::Core::Private

namespace AsaApi::Tools {

std::string Utf8Encode(EngineTextView wide) {
    STANDIN_HOST_OPERATION("AsaApi::Tools::Utf8Encode");
    return EncodeUtf8(wide);
}

}  // namespace AsaApi::Tools

namespace standin {

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string ToUtf8(const FString& text) { return EncodeUtf8(text.View()); }
std::string ToUtf8(std::u16string_view text) { return EncodeUtf8(text); }
std::u16string ToUtf16(std::string_view text) { return DecodeUtf8(text); }
FString FromUtf8(std::string_view text) { return FromUtf16(DecodeUtf8(text)); }
FString FromUtf16(std::u16string_view text) {
    FString result;
    AssignUnits(result, text.data(), text.size());
    return result;
}

}  // namespace standin

#include "checker/FoldedCase.h"

#include <cstdint>

#include "standin/Text.h"

namespace checker {
namespace {

char32_t Lower(char32_t code) {
    if (code >= U'A' && code <= U'Z') return code + 0x20;
    if (code < 0xC0) return code;
    if (code <= 0xDE && code != 0xD7) return code + 0x20;  // Latin-1: À to Þ, not ×
    if (code >= 0x100 && code <= 0x137) return code | 1;   // Latin Extended-A, pairs even, odd
    if (code >= 0x139 && code <= 0x148) return code + (code & 1);
    if (code >= 0x14A && code <= 0x177) return code | 1;
    if (code == 0x178) return 0xFF;  // Ÿ
    if (code >= 0x179 && code <= 0x17E) return code + (code & 1);
    if (code >= 0x391 && code <= 0x3AB && code != 0x3A2) return code + 0x20;  // Greek
    if (code >= 0x400 && code <= 0x40F) return code + 0x50;                   // Cyrillic Ѐ to Џ
    if (code >= 0x410 && code <= 0x42F) return code + 0x20;                   // Cyrillic А to Я
    if ((code >= 0x1E00 && code <= 0x1E95) || (code >= 0x1EA0 && code <= 0x1EFF))
        return code | 1;  // Latin Extended Additional, in pairs
    return code;
}

// The length of the UTF-8 sequence at `text[0]` and its code point; 0 when it is not one.
size_t Decode(std::string_view text, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t length = lead < 0x80             ? 1
                          : (lead & 0xE0) == 0xC0 ? 2
                          : (lead & 0xF0) == 0xE0 ? 3
                          : (lead & 0xF8) == 0xF0 ? 4
                                                  : 0;
    if (length == 0 || length > text.size()) return 0;
    code = length == 1 ? lead : lead & (0x7Fu >> length);
    for (size_t at = 1; at < length; ++at) {
        const auto next = static_cast<unsigned char>(text[at]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3Fu);
    }
    return length;
}

}  // namespace

std::string FoldedCase(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    while (!text.empty()) {
        char32_t code = 0;
        const size_t length = Decode(text, code);
        if (length == 0) {
            folded += text[0];
            text.remove_prefix(1);
            continue;
        }
        standin::AppendUtf8(folded, Lower(code));
        text.remove_prefix(length);
    }
    return folded;
}

}  // namespace checker

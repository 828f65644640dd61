// Conversions between the engine's UTF-16 strings and the stand-in's UTF-8 text.
#pragma once

#include <string>
#include <string_view>

#include "host/EngineTypes.h"

namespace standin {

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, char32_t code);
std::string ToUtf8(const FString& text);
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);
FString FromUtf8(std::string_view text);
FString FromUtf16(std::u16string_view text);

}  // namespace standin

// Conversions between the engine's UTF-16 strings and the stand-in's UTF-8 text.
#pragma once

#include <string>
#include <string_view>

#include "host/EngineTypes.h"

namespace standin {

std::string ToUtf8(const FString& text);
std::string ToUtf8(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);
FString FromUtf8(std::string_view text);
FString FromUtf16(std::u16string_view text);

}  // namespace standin

// The unit of engine text, its literal and its view, as the build's system has them: wchar_t on
// Windows, char16_t elsewhere. Both are 16-bit units of the same UTF-16 text.
#pragma once

#include <string_view>

#if defined(_WIN32)
using TCHAR = wchar_t;
#define TW_TEXT(literal) L##literal
#else
using TCHAR = char16_t;
#define TW_TEXT(literal) u##literal
#endif

static_assert(sizeof(TCHAR) == 2, "engine text is UTF-16");

// Engine text without its owner: an FString's units, a literal.
using EngineTextView = std::basic_string_view<TCHAR>;

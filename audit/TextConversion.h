// The two ways an engine string becomes message text.
#pragma once

#include <string>

#include "host/EngineTypes.h"

// One byte per UTF-16 unit: ASCII as is, anything else "?" (a surrogate pair gives two).
std::string ToAsciiText(const FString& text);

// UTF-8: ASCII text as it is, any other through the host's converter; unpaired surrogates become
// U+FFFD first, so the result is always valid UTF-8 and a report can never fail to serialise after
// its creature was destroyed.
std::string ToUtf8Text(const FString& text);

// The host's text helpers: UTF-16 to UTF-8 conversion and case-insensitive comparison.
#pragma once

#include <cstdint>

#include "host/EngineText.h"

namespace UE::Core::Private {
// Number of UTF-8 bytes that `Convert` writes for `sourceLength` UTF-16 units.
int32_t GetConvertedLength(const TCHAR* source, int32_t sourceLength);
// Writes the UTF-8 form of the source into `destination`; returns its end.
char* Convert(char* destination, int32_t destinationLength, const TCHAR* source,
              int32_t sourceLength);
}  // namespace UE::Core::Private

struct FGenericPlatformStricmp {
    // Compares `count` units with ASCII letters' case ignored; 0 when equal.
    static int32_t Strnicmp(const TCHAR* left, const TCHAR* right, uint64_t count);
};

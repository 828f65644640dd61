// The module path from the loader: the module that holds this code, its reference count left as
// it is, and its file name in a buffer of 260 UTF-16 units.
#include <windows.h>

#include <algorithm>
#include <type_traits>

#include "host/ModulePath.h"

namespace {

constexpr DWORD MaxModulePathUnits = 260;

}  // namespace

static_assert(std::is_same_v<TCHAR, wchar_t>, "the engine's text is Windows' own");

FString OwnModulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&OwnModulePath), &module))
        return FString();
    wchar_t buffer[MaxModulePathUnits] = {};
    const DWORD length = GetModuleFileNameW(module, buffer, MaxModulePathUnits);
    if (length == 0) return FString();
    // A longer path comes back cut to the buffer; the units end at its terminator, if any.
    const EngineTextView units(buffer, std::min(length, MaxModulePathUnits));
    const size_t end = std::min(units.find(TW_TEXT('\0')), units.size());
    return FString(static_cast<int32_t>(end), units.data());
}

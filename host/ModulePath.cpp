// dladdr stands in for GetModuleHandleExA and GetModuleFileNameW.
#include "host/ModulePath.h"

#include <dlfcn.h>

namespace {

constexpr int32_t MaxModulePathUnits = 260;

}  // namespace

FString OwnModulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnModulePath), &info) == 0 || info.dli_fname == nullptr)
        return FString();
    const FString path(info.dli_fname);  // the host reads 8-bit text as UTF-8
    if (path.Len() <= MaxModulePathUnits) return path;
    return FString(MaxModulePathUnits, *path);
}

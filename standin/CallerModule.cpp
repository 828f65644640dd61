// Which module holds an address: dladdr names the shared object.
#include <dlfcn.h>

#include <filesystem>

#include "standin/Faults.h"

namespace standin {

std::string ModuleFileNameOf(const void* address) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    return std::filesystem::path(info.dli_fname).filename().string();
}

}  // namespace standin

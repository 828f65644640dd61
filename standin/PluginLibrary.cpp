#include "standin/PluginLibrary.h"

#include <dlfcn.h>

#include <cstdint>
#include <stdexcept>

#include "standin/HttpRequests.h"

namespace standin {

PluginLibrary::PluginLibrary(const std::string& libraryPath) : path(libraryPath) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        throw std::runtime_error("cannot load plugin " + path + ": " + dlerror());
}

PluginLibrary::~PluginLibrary() { Unload(); }

int PluginLibrary::CallEntry(unsigned reason) const {
    using Entry = int(void*, uint32_t, void*);
    auto* entry = reinterpret_cast<Entry*>(dlsym(handle, "DllMain"));
    if (entry == nullptr) throw std::runtime_error("plugin " + path + " has no entry");
    return entry(nullptr, reason, nullptr);
}

bool PluginLibrary::Unload() {
    if (handle == nullptr) return true;
    StopRequests();  // the completions it holds are code of this library
    dlclose(handle);
    handle = nullptr;
    void* still = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (still == nullptr) return true;
    dlclose(still);
    return false;
}

}  // namespace standin

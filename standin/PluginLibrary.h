// Loads and unloads the plugin library as the host does: dlopen and dlclose on Linux, LoadLibraryW
// and FreeLibrary on Windows.
#pragma once

#include <string>

namespace standin {

class PluginLibrary {
public:
    // Throws std::runtime_error with the loader's message when the library cannot be loaded.
    explicit PluginLibrary(const std::string& path);
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // The entry notification, for reasons the loader sends only for threads (thread attach/detach).
    int CallEntry(unsigned reason) const;
    // Unloads now; true when the library is really gone from the process afterwards.
    bool Unload();

private:
    std::string path;
    void* handle = nullptr;
};

}  // namespace standin

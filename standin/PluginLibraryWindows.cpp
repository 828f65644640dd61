// Loads the plugin DLL as the Windows host does: LoadLibraryW, which runs its entry under the
// loader lock, and FreeLibrary at the end.
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "standin/HttpRequests.h"
#include "standin/PluginLibrary.h"
#include "standin/Text.h"

namespace standin {
namespace {

std::wstring WidePath(const std::string& path) {
    const FString units = FromUtf8(path);
    return std::wstring(units.View());
}

std::string SystemMessage(DWORD code) {
    char* text = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

}  // namespace

PluginLibrary::PluginLibrary(const std::string& libraryPath) : path(libraryPath) {
    handle = LoadLibraryW(WidePath(path).c_str());
    if (handle == nullptr)
        throw std::runtime_error("cannot load plugin " + path + ": " +
                                 SystemMessage(GetLastError()));
}

PluginLibrary::~PluginLibrary() { Unload(); }

// The plugin exports nothing: its entry is the one the image's header names, the C runtime's DLL
// entry, which passes the call on to DllMain as the loader's own notifications do.
int PluginLibrary::CallEntry(unsigned reason) const {
    const auto* base = static_cast<const unsigned char*>(handle);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* image = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (image->OptionalHeader.AddressOfEntryPoint == 0)
        throw std::runtime_error("plugin " + path + " has no entry");
    using Entry = BOOL WINAPI(HINSTANCE, DWORD, LPVOID);
    auto* entry = reinterpret_cast<Entry*>(
        reinterpret_cast<uintptr_t>(base + image->OptionalHeader.AddressOfEntryPoint));
    return entry(static_cast<HINSTANCE>(handle), reason, nullptr);
}

bool PluginLibrary::Unload() {
    if (handle == nullptr) return true;
    StopRequests();  // the completions it holds are code of this library
    FreeLibrary(static_cast<HMODULE>(handle));
    handle = nullptr;
    return GetModuleHandleW(WidePath(path).c_str()) == nullptr;
}

}  // namespace standin

// Windows has no mkdtemp: names are tried until one is free, and the folder's creation tells.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "standin/TemporaryFolder.h"

namespace standin {

std::filesystem::path MakeTemporaryFolder(const std::string& prefix) {
    const std::filesystem::path parent = std::filesystem::temp_directory_path();
    const unsigned long long seed =
        GetTickCount64() ^ (GetCurrentProcessId() * 0x9E3779B97F4A7C15ull);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            parent / (prefix + std::to_string((seed + attempt * 7919u) % 1000000007u));
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    throw std::runtime_error("cannot make a temporary server folder");
}

}  // namespace standin

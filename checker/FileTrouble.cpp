#include "checker/FileTrouble.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace checker {

std::optional<std::string> FileTrouble(const std::filesystem::path& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) return "no such file";
    if (std::filesystem::is_directory(status)) return "a folder, not a file";
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        return std::string("cannot be read: ") +
               (errno != 0 ? std::strerror(errno) : "refused by the system");
    return std::nullopt;
}

}  // namespace checker

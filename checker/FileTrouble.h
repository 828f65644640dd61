// Why a file an operator named cannot be read, in plain words, before anything tries to parse it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace checker {

// "no such file", "a folder, not a file", or "cannot be read: <reason>"; none when it can be read.
std::optional<std::string> FileTrouble(const std::filesystem::path& path);

}  // namespace checker

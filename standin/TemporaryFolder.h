// A new, empty folder of a unique name in the system's temporary folder.
#pragma once

#include <filesystem>
#include <string>

namespace standin {

// The folder's name starts with `prefix`. Throws std::runtime_error when none can be made.
std::filesystem::path MakeTemporaryFolder(const std::string& prefix);

}  // namespace standin

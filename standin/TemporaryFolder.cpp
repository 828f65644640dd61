// mkdtemp makes the folder and picks its name in one step.
#include "standin/TemporaryFolder.h"

#include <stdlib.h>

#include <stdexcept>

namespace standin {

std::filesystem::path MakeTemporaryFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary server folder");
    return pattern;
}

}  // namespace standin

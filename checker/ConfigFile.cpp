#include "checker/ConfigFile.h"

#include <fstream>
#include <iterator>

namespace checker {

ConfigFile ReadConfigFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        throw ConfigUnreadable("cannot open " + path.string() +
                               " (the plugin would fail to load: \"Can't open config.json\")");
    ConfigFile config;
    try {
        file >> config.document;
    } catch (const nlohmann::json::parse_error& error) {
        throw ConfigUnreadable(error.what());
    }
    // Whatever follows the value; its place is counted from the whole text.
    file.clear();
    const std::streamoff consumed = file.tellg();
    const std::string rest{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto start = rest.find_first_not_of(" \t\r\n");
    if (consumed < 0 || start == std::string::npos) return config;
    config.trailingText = rest.substr(start);
    std::ifstream again(path, std::ios::binary);
    const std::string whole{std::istreambuf_iterator<char>(again),
                            std::istreambuf_iterator<char>()};
    const size_t offset = static_cast<size_t>(consumed) + start;
    config.trailingLine = 1;
    config.trailingColumn = 1;
    for (size_t index = 0; index < offset && index < whole.size(); ++index) {
        if (whole[index] == '\n') {
            ++config.trailingLine;
            config.trailingColumn = 1;
        } else {
            ++config.trailingColumn;
        }
    }
    return config;
}

}  // namespace checker

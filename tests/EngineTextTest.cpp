// The plugin's own layers name engine text only through host/ (TCHAR, TW_TEXT, EngineTextView),
// so that they build unchanged where the host's SDK makes TCHAR another type.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/TextPattern.h"

namespace fs = std::filesystem;

namespace {

const fs::path Sources = TAMEWARDEN_SOURCE_DIR;

TEST(EngineTextTest, PluginLayersNameNoUnitTypeNorItsLiterals) {
    // A unit type of one system, or a literal of one: u"", u'', L"", L''.
    const TextPattern unitOfOneSystem(R"(\b(char16_t|wchar_t|u16string)|(^|[^\w])[uL]["'])");
    std::vector<std::string> violations;
    size_t files = 0;
    for (const char* layer : {"base", "audit", "plugin"}) {
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(Sources / layer)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            ++files;
            std::ifstream source(entry.path());
            int number = 0;
            for (std::string line; std::getline(source, line);) {
                ++number;
                if (unitOfOneSystem.Search(line))
                    violations.push_back(fs::relative(entry.path(), Sources).generic_string() +
                                         ":" + std::to_string(number) + ": " + line);
            }
        }
    }
    EXPECT_GT(files, 50u);
    EXPECT_THAT(violations, ::testing::IsEmpty());
}

}  // namespace

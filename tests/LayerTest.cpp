// The layers' directions as docs/architecture.md writes them, checked against every source file:
// a file includes only its own folder and the folders its layer may use.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path Root = TAMEWARDEN_SOURCE_DIR;

// The texts between backquotes that name a folder ("audit/").
std::vector<std::string> QuotedFolders(const std::string& text) {
    std::vector<std::string> folders;
    for (size_t open = text.find('`'); open != std::string::npos;) {
        const size_t close = text.find('`', open + 1);
        if (close == std::string::npos) break;
        const std::string quoted = text.substr(open + 1, close - open - 1);
        if (quoted.ends_with('/')) folders.push_back(quoted);
        open = text.find('`', close + 1);
    }
    return folders;
}

// Folder ("audit/") to the folders it may include, from the table of docs/architecture.md:
// a row's first column is the folder, its third lists what the folder may include.
std::map<std::string, std::set<std::string>> AllowedDirections() {
    std::ifstream file(Root / "docs" / "architecture.md");
    std::map<std::string, std::set<std::string>> allowed;
    for (std::string line; std::getline(file, line);) {
        if (!line.starts_with("| `")) continue;
        std::vector<std::string> columns;
        std::stringstream cells(line.substr(1));
        for (std::string cell; std::getline(cells, cell, '|');) columns.push_back(cell);
        if (columns.size() < 3) continue;
        const std::vector<std::string> folder = QuotedFolders(columns[0]);
        if (folder.size() != 1) continue;
        std::set<std::string>& targets = allowed[folder[0]];
        for (const std::string& target : QuotedFolders(columns[2])) targets.insert(target);
    }
    return allowed;
}

// The layer folder a path lies in: the longest one that starts it.
std::string FolderOf(const std::string& path,
                     const std::map<std::string, std::set<std::string>>& layers) {
    std::string best;
    for (const auto& [folder, targets] : layers)
        if (path.starts_with(folder) && folder.size() > best.size()) best = folder;
    return best;
}

// The file named by a line `#include "..."`, or nothing.
std::string IncludedFile(const std::string& line) {
    const size_t hash = line.find_first_not_of(" \t");
    if (hash == std::string::npos || line[hash] != '#') return {};
    const size_t word = line.find_first_not_of(" \t", hash + 1);
    if (word == std::string::npos || line.compare(word, 7, "include") != 0) return {};
    const size_t open = line.find('"', word);
    const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos) return {};
    return line.substr(open + 1, close - open - 1);
}

TEST(LayerTest, TheArchitectureDocumentNamesEveryLayer) {
    const auto allowed = AllowedDirections();
    std::set<std::string> folders;
    for (const auto& [folder, targets] : allowed) folders.insert(folder);
    EXPECT_THAT(folders, ::testing::ElementsAre("audit/", "base/", "checker/", "host/", "plugin/",
                                                "standin/", "standin/server/"));
    EXPECT_TRUE(allowed.at("host/").empty());
    EXPECT_THAT(allowed.at("audit/"), ::testing::ElementsAre("base/", "host/"));
}

TEST(LayerTest, NoFileIncludesALayerItMayNotUse) {
    const auto allowed = AllowedDirections();
    ASSERT_FALSE(allowed.empty());
    std::vector<std::string> violations;
    size_t files = 0;
    for (auto entry = fs::recursive_directory_iterator(Root);
         entry != fs::recursive_directory_iterator(); ++entry) {
        // Only the layers' folders are walked: not build trees, tests or the history.
        if (entry.depth() == 0 && entry->is_directory() &&
            !allowed.contains(entry->path().filename().string() + "/")) {
            entry.disable_recursion_pending();
            continue;
        }
        const std::string extension = entry->path().extension().string();
        if (extension != ".cpp" && extension != ".h") continue;
        const std::string path = fs::relative(entry->path(), Root).generic_string();
        const std::string folder = FolderOf(path, allowed);
        if (folder.empty()) continue;
        ++files;
        std::ifstream source(entry->path());
        int number = 0;
        for (std::string line; std::getline(source, line);) {
            ++number;
            const std::string included = IncludedFile(line);
            const std::string target = FolderOf(included, allowed);
            if (target.empty() || target == folder || allowed.at(folder).contains(target)) continue;
            violations.push_back(path + ":" + std::to_string(number) + " includes " + included +
                                 " (" + folder + " may not use " + target + ")");
        }
    }
    EXPECT_GT(files, 100u);
    EXPECT_THAT(violations, ::testing::IsEmpty());
}

}  // namespace

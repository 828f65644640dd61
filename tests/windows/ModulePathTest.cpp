// The messenger is found by the plugin's own module path, which the loader gives in at most 260
// UTF-16 units: the whole path when it fits, the path cut as the call returns it when not.
#include <gmock/gmock.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "standin/Text.h"
#include "tests/PluginFixture.h"

namespace fs = std::filesystem;

namespace {

HMODULE LoadedModule(const std::string& path) {
    const std::u16string units = standin::ToUtf16(path);
    return GetModuleHandleW(std::wstring(units.begin(), units.end()).c_str());
}

// The path the loader holds for a loaded module, in full.
std::u16string FullModulePath(const std::string& path) {
    std::wstring full(32768, L'\0');
    full.resize(GetModuleFileNameW(LoadedModule(path), full.data(), 32768));
    return std::u16string(full.begin(), full.end());
}

// The path as a call with a buffer of 260 units returns it: up to its terminator, if any.
std::u16string ModulePathIn260Units(const std::string& path) {
    std::wstring cut(260, L'\0');
    cut.resize(GetModuleFileNameW(LoadedModule(path), cut.data(), 260));
    return std::u16string(cut.begin(), cut.begin() + static_cast<std::ptrdiff_t>(
                                                         std::min(cut.find(L'\0'), cut.size())));
}

class ModulePathTest : public PluginFixture {
protected:
    void SetUp() override {
        PluginFixture::SetUp();
        MakeWorld();
        WriteConfig("{}");
    }
    void TearDown() override {
        PluginFixture::TearDown();
        // Beyond 260 units only the long form of the path reaches the folders.
        std::error_code ignored;
        if (!copyFolder.empty()) fs::remove_all(L"\\\\?\\" + copyFolder.native(), ignored);
    }

    // The module path of the reply to a command, as the messenger it went through holds it.
    std::string ReplyModule() {
        host.commands.ExecuteConsole("tmwd.reload", host.world->AdminPlayer());
        const auto replies = Events("reply");
        return replies.empty() ? "" : replies.back().at("module").get<std::string>();
    }

    fs::path copyFolder;
};

TEST_F(ModulePathTest, ShortPathIsTheWholeWindowsPathOfTheDll) {
    LoadPlugin();
    const std::u16string full = FullModulePath(TAMEWARDEN_PLUGIN_PATH);
    ASSERT_LT(full.size(), 260u);
    EXPECT_THAT(standin::ToUtf8(full), ::testing::EndsWith("\\TameWarden.dll"));
    EXPECT_EQ(ReplyModule(), standin::ToUtf8(full));
}

// Folder names with a letter beyond ASCII and one beyond the 16-bit range (two UTF-16 units),
// nested until the path passes 260 units.
TEST_F(ModulePathTest, PathLongerThan260UnitsIsCutAsTheLoaderReturnsIt) {
    copyFolder = fs::temp_directory_path() / L"tamewarden-long-\u00c4\U0001F996";
    fs::path folder = copyFolder;
    while (folder.native().size() < 300) folder /= L"a-folder-name-of-forty-units-in-length-";
    fs::create_directories(folder);
    const fs::path dll = folder / L"TameWarden.dll";
    fs::copy_file(fs::path(TAMEWARDEN_PLUGIN_PATH), dll);
    const std::string dllPath =
        standin::ToUtf8(std::u16string(dll.native().begin(), dll.native().end()));

    plugin = std::make_unique<standin::PluginLibrary>(dllPath);
    const std::u16string full = FullModulePath(dllPath);
    ASSERT_GT(full.size(), 260u);
    // Windows fills the 260 units with 259 of the path and a terminator; Wine may give all 260.
    const std::u16string cut = ModulePathIn260Units(dllPath);
    EXPECT_GE(cut.size(), 259u);
    EXPECT_LE(cut.size(), 260u);
    EXPECT_EQ(full.substr(0, cut.size()), cut);
    EXPECT_EQ(ReplyModule(), standin::ToUtf8(cut));
    EXPECT_THAT(standin::ToUtf8(full), ::testing::HasSubstr("tamewarden-long-\u00c4\U0001F996"));
}

}  // namespace

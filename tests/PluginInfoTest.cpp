// PluginInfo.json as the host reads it beside the library: the shipped file, and every way a file
// is refused, named with its path and the reason.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "standin/PluginInfo.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace {

std::string ReadAll(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class PluginInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        file = fs::temp_directory_path() /
               ("tamewarden-plugininfo-" + std::to_string(::getpid()) + "-" + test->name()) /
               "PluginInfo.json";
        fs::create_directories(file.parent_path());
    }
    void TearDown() override { fs::remove_all(file.parent_path()); }

    void Write(const std::string& text) const {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
    // The error text of reading `text`, or "" when it is accepted.
    std::string Refusal(const std::string& text) const {
        Write(text);
        try {
            standin::ReadPluginInfo(file);
        } catch (const std::runtime_error& error) {
            return error.what();
        }
        return "";
    }

    fs::path file;
};

TEST_F(PluginInfoTest, ShippedFileIsReadAndSitsBesideTheBuiltLibrary) {
    const fs::path shipped = fs::path(TAMEWARDEN_SOURCE_DIR) / "plugin" / "PluginInfo.json";
    const standin::PluginInfo info = standin::ReadPluginInfo(shipped);
    EXPECT_EQ(info.fullName, "TameWarden");
    EXPECT_FALSE(info.description.empty());
    EXPECT_GT(info.version, 0);
    EXPECT_GT(info.minApiVersion, 0);
    EXPECT_THAT(info.dependencies, IsEmpty());
    const fs::path besideLibrary =
        fs::path(TAMEWARDEN_PLUGIN_PATH).parent_path() / "PluginInfo.json";
    EXPECT_EQ(ReadAll(besideLibrary), ReadAll(shipped));
}

TEST_F(PluginInfoTest, EveryFieldIsRead) {
    Write(R"({"FullName": "Other", "Description": "d", "Version": 2, "MinApiVersion": 1.5,
              "Dependencies": ["Permissions", "Shop"]})");
    const standin::PluginInfo info = standin::ReadPluginInfo(file);
    EXPECT_EQ(info.fullName, "Other");
    EXPECT_EQ(info.description, "d");
    EXPECT_EQ(info.version, 2);
    EXPECT_EQ(info.minApiVersion, 1.5);
    EXPECT_THAT(info.dependencies, ElementsAre("Permissions", "Shop"));
}

TEST_F(PluginInfoTest, MalformedFilesAreRefusedWithTheFileAndTheReason) {
    const std::string valid =
        R"("Description": "d", "Version": 1.0, "MinApiVersion": 1.0, "Dependencies": [])";
    const std::string prefix = file.string() + ": ";
    EXPECT_EQ(Refusal("[]"), prefix + "the top level must be an object, but is array");
    EXPECT_EQ(Refusal("{" + valid + "}"), prefix + "missing \"FullName\"");
    EXPECT_EQ(Refusal(R"({"FullName": 1, )" + valid + "}"),
              prefix + "\"FullName\" must be a string, but is number");
    EXPECT_EQ(Refusal(R"({"FullName": "", )" + valid + "}"), prefix + "\"FullName\" is empty");
    EXPECT_EQ(Refusal(R"({"FullName": "T", "Description": "d", "Version": "1.0",
                          "MinApiVersion": 1, "Dependencies": []})"),
              prefix + "\"Version\" must be a number, but is string");
    EXPECT_EQ(Refusal(R"({"FullName": "T", "Description": "d", "Version": 1,
                          "Dependencies": []})"),
              prefix + "missing \"MinApiVersion\"");
    EXPECT_EQ(Refusal(R"({"FullName": "T", "Description": "d", "Version": 1,
                          "MinApiVersion": 1, "Dependencies": "Shop"})"),
              prefix + "\"Dependencies\" must be an array of strings, but is string");
    EXPECT_EQ(Refusal(R"({"FullName": "T", "Description": "d", "Version": 1,
                          "MinApiVersion": 1, "Dependencies": ["Shop", 3]})"),
              prefix + "\"Dependencies\"[1] must be a string, but is number");
}

TEST_F(PluginInfoTest, ParseErrorIsTheLibrarysTextAndAMissingFileIsRefused) {
    const std::string text = "{\"FullName\": \"T\",\n \"Version\" 1}";
    std::string libraryError;
    try {
        const nlohmann::json parsed = nlohmann::json::parse(text);
        ADD_FAILURE() << "parsed: " << parsed.dump();
    } catch (const nlohmann::json::parse_error& error) {
        libraryError = error.what();
    }
    EXPECT_EQ(Refusal(text), file.string() + ": " + libraryError);
    fs::remove(file);
    try {
        standin::ReadPluginInfo(file);
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), file.string() + ": cannot be opened");
    }
}

}  // namespace

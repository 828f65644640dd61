// The tmwd.status and tmwd.preview replies that README.md and docs/configuration.md show are what
// the plugin answers for the example server folder and world: each block's command is given over
// RCON to a server set up as the block's story tells, and the block is the reply.
#include <gmock/gmock.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <thread>

#include "tests/e2e/RconClient.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace {

// What the server went through before a block's command.
enum class Story {
    // The example config played the example world to its end, then a reload found no file.
    ExamplePlayedThenReloadFailed,
    // The example config with a number written as text: the load stopped at the sweep.
    ExampleWithATextForANumber,
    // The installed config.json played the example world, the example config beside it as
    // config.new.json.
    InstalledWithTheExampleBeside,
};

struct DocExample {
    const char* doc;
    Story story;
};

// Every block of the two documents that shows a tmwd.status or tmwd.preview reply, in order.
const DocExample DocExamples[] = {
    {"README.md", Story::ExamplePlayedThenReloadFailed},
    {"README.md", Story::ExampleWithATextForANumber},
    {"README.md", Story::InstalledWithTheExampleBeside},
    {"docs/configuration.md", Story::InstalledWithTheExampleBeside},
};

struct ReplyBlock {
    std::string command;  // what follows "$ rconclt ADDRESS "
    std::string reply;    // the block's lines after the command
};

std::string SourceFile(const std::string& name) {
    std::ifstream file(std::string(TAMEWARDEN_SOURCE_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

nlohmann::json ExampleConfig() {
    return nlohmann::json::parse(
        SourceFile("examples/server/ArkApi/Plugins/TameWarden/config.json"));
}

// The ```console blocks of a document that run tmwd.status or tmwd.preview.
std::vector<ReplyBlock> ReplyBlocks(const std::string& doc) {
    static const std::regex command(R"(\$ rconclt \S+ (tmwd\.(status|preview).*))");
    std::vector<ReplyBlock> blocks;
    std::istringstream text(SourceFile(doc));
    std::string line;
    std::optional<ReplyBlock> block;
    bool inConsole = false;
    while (std::getline(text, line)) {
        std::smatch match;
        if (!inConsole) {
            inConsole = line == "```console";
        } else if (line == "```") {
            if (block) blocks.push_back(*block);
            block.reset();
            inConsole = false;
        } else if (std::regex_match(line, match, command)) {
            EXPECT_FALSE(block) << doc << ": one command per block: " << line;
            block = ReplyBlock{match[1], ""};
        } else if (block) {
            block->reply += block->reply.empty() ? line : "\n" + line;
        }
    }
    return blocks;
}

// What a document shows of a reply: only what varies by nature is replaced, the server folder by
// /srv/ark, the chat's port by the README's 18080 and when the config was read by a fixed stamp;
// a block that ends in "..." shows the reply's first lines and elides the rest.
std::string AsShown(std::string reply, const ServerFolder& folder, int chatPort,
                    const std::string& block) {
    for (size_t at; (at = reply.find(folder.Dir().string())) != std::string::npos;)
        reply.replace(at, folder.Dir().string().size(), "/srv/ark");
    reply = std::regex_replace(reply, std::regex("127\\.0\\.0\\.1:" + std::to_string(chatPort)),
                               "127.0.0.1:18080");
    reply = std::regex_replace(
        reply, std::regex(R"(config read \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4})"),
        "config read 2026-12-08 10:16:24 +0000");
    const std::string elided = "\n...";
    if (!block.ends_with(elided)) return reply;
    const auto shownLines = std::count(block.begin(), block.end(), '\n');
    size_t end = 0;
    for (long line = 0; line < shownLines && end != std::string::npos; ++line)
        end = reply.find('\n', end + (line > 0 ? 1 : 0));
    return end == std::string::npos ? reply : reply.substr(0, end) + elided;
}

bool HasEvent(const std::vector<nlohmann::json>& events, const std::string& type) {
    return std::any_of(events.begin(), events.end(),
                       [&type](const auto& event) { return event.at("type") == type; });
}

class StoryServer {
public:
    explicit StoryServer(Story told) : story(told) {
        folder.WriteWorldText(SourceFile("examples/worlds/example-world.json"));
        nlohmann::json config = ExampleConfig();
        config["LevelWarningWebhook"] = "http://127.0.0.1:" + std::to_string(chatPort) + "/webhook";
        if (story == Story::ExampleWithATextForANumber) config["DestroyDinosOverLevel"] = "500";
        if (story == Story::InstalledWithTheExampleBeside) {
            config = nlohmann::json::parse(SourceFile("plugin/config.json"));
            std::ofstream(folder.ConfigPath().parent_path() / "config.new.json")
                << ExampleConfig().dump(4);
        }
        folder.WriteConfig(config);
        int port = 0;
        server =
            StartWithRcon(folder, "changeme", port, {"--webhook-listen", std::to_string(chatPort)});
        if (port == 0) throw std::runtime_error("no RCON: " + server->Output());
        rcon = std::make_unique<RconClient>(port);
        if (rcon->Authenticate("changeme") != 1) throw std::runtime_error("RCON refused");
    }
    ~StoryServer() {
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(ServerWait), 0) << server->Output();
    }

    // Brings the server to where the story's commands are given.
    void Tell() {
        const std::string until =
            story == Story::ExampleWithATextForANumber ? "loaded" : "despawn";  // the last play
        ASSERT_TRUE(folder.WaitForEvents(
            [&until](const auto& events) { return HasEvent(events, until); }, ServerWait))
            << server->Output();
        if (story != Story::ExamplePlayedThenReloadFailed) return;
        // The checks after BeginPlay and the posts the chat paces are done when nothing waits.
        const auto deadline = std::chrono::steady_clock::now() + ServerWait;
        while (!Settled(Command("tmwd.status"))) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << Command("tmwd.status");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        folder.RemoveConfig();
        ASSERT_EQ(Command("tmwd.reload"), "TameWarden: Failed to reload config");
    }

    std::string Command(const std::string& line) {
        const auto reply = rcon->Execute(line, ++requestId);
        EXPECT_TRUE(reply) << line;
        return reply.value_or("");
    }

    ServerFolder folder;
    const int chatPort = FreePort();

private:
    static bool Settled(const std::string& status) {
        return status.find("\nqueue: 0 waiting") != std::string::npos &&
               std::regex_search(status, std::regex("\nposts: \\d+ sent, 0 waiting, "));
    }

    Story story;
    std::unique_ptr<ServerProcess> server;
    std::unique_ptr<RconClient> rcon;
    int32_t requestId = 10;
};

TEST(DocExamplesTest, RepliesAsTheDocsShow) {
    std::map<std::string, std::vector<ReplyBlock>> blocks;
    std::map<std::string, size_t> rows;
    for (const DocExample& example : DocExamples) {
        blocks.emplace(example.doc, ReplyBlocks(example.doc));
        ++rows[example.doc];
    }
    // A new example block needs its row, so that it is compared too.
    for (const auto& [doc, found] : blocks) ASSERT_EQ(found.size(), rows[doc]) << doc;

    std::map<std::string, size_t> seen;
    for (const DocExample& example : DocExamples) {
        const ReplyBlock& block = blocks[example.doc][seen[example.doc]++];
        SCOPED_TRACE(std::string(example.doc) + ": $ rconclt ... " + block.command);
        StoryServer server(example.story);
        server.Tell();
        EXPECT_EQ(
            AsShown(server.Command(block.command), server.folder, server.chatPort, block.reply),
            block.reply);
    }
}

}  // namespace

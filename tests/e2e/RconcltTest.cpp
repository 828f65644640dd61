// Debian's rconclt (package rcon), an RCON client operators already use, run as a child process
// against standin-server: reloads with the right and a wrong password, its exit status and output.
#include <gmock/gmock.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <sstream>

#include "tests/e2e/ChildProcess.h"
#include "tests/e2e/ServerFolder.h"
#include "tests/e2e/ServerProcess.h"

namespace {

// rconclt is a Python program; on a loaded machine its start alone may take seconds.
constexpr auto ClientWait = std::chrono::seconds(60);

std::optional<std::string> FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path != nullptr ? path : "/usr/bin:/bin");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return std::nullopt;
}

struct ClientRun {
    std::optional<int> exitCode;
    std::string output;  // standard output and standard error
};

class RconcltTest : public ::testing::Test {
protected:
    void SetUp() override {
        rconclt = FindOnPath("rconclt");
        if (!rconclt)
            GTEST_SKIP() << "rconclt is not installed (Debian package rcon; "
                            "scripts/install-deps.sh installs it)";
        folder.WriteConfig(nlohmann::json::object());
        folder.WriteWorld(nlohmann::json::object());
        server = StartWithRcon(folder, RconPassword, port);
        ASSERT_NE(port, 0) << server->Output();
        // A test may change the config, which only means something once the plugin has read it.
        ASSERT_TRUE(folder.WaitForEvents(
            [&](const auto&) { return !folder.Events("loaded").empty(); }, ServerWait))
            << server->Output();
    }

    void TearDown() override {
        if (!server) return;
        server->WriteLine("quit");
        EXPECT_EQ(server->WaitForExit(ServerWait), 0) << server->Output();
    }

    // rconclt PASSWORD@127.0.0.1:PORT COMMAND..., as an operator types it.
    ClientRun Rconclt(const std::string& password, const std::vector<std::string>& command) {
        std::vector<std::string> arguments = {"--timeout", "30",
                                              password + "@127.0.0.1:" + std::to_string(port)};
        arguments.insert(arguments.end(), command.begin(), command.end());
        ChildProcess client(*rconclt, arguments);
        client.CloseInput();
        ClientRun run;
        run.exitCode = client.WaitForExit(ClientWait);
        client.WaitForOutputEnd(ServerWait);
        run.output = client.Output();
        return run;
    }

    std::optional<std::string> rconclt;
    ServerFolder folder;
    std::unique_ptr<ServerProcess> server;
    int port = 0;
};

TEST_F(RconcltTest, ReloadWithTheRightPasswordPrintsTheReplyAndExitsZero) {
    const ClientRun run = Rconclt(RconPassword, {"tmwd.reload"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "TameWarden: Reloaded config\n");
    const auto replies = folder.Events("reply");
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].at("channel"), "rcon");
    EXPECT_EQ(replies[0].at("text"), "TameWarden: Reloaded config");
}

TEST_F(RconcltTest, FailedReloadPrintsTheFailureAndExitsZero) {
    folder.RemoveConfig();
    const ClientRun run = Rconclt(RconPassword, {"tmwd.reload"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "TameWarden: Failed to reload config\n");
}

TEST_F(RconcltTest, ReloadWithAWrongPasswordPrintsWrongPasswordAndExitsFive) {
    const ClientRun run = Rconclt("not-the-password", {"tmwd.reload"});
    EXPECT_EQ(run.exitCode, 5) << run.output;
    EXPECT_EQ(run.output, "[ERROR] rconclt: Wrong password.\n");
    EXPECT_TRUE(folder.Events("reply").empty());
    EXPECT_TRUE(server->WaitForOutput("RCON: connection 1 closed: wrong password", ServerWait));
    // The refused client cost only its own connection.
    EXPECT_EQ(Rconclt(RconPassword, {"tmwd.reload"}).output, "TameWarden: Reloaded config\n");
}

TEST_F(RconcltTest, UnknownCommandPrintsTheNoResponseTextAndExitsZero) {
    const ClientRun run = Rconclt(RconPassword, {"listplayers"});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "Server received, But no response!! \n \n");
}

}  // namespace

#include "tests/e2e/ServerFolder.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

ServerFolder::ServerFolder() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir = fs::temp_directory_path() / ("tamewarden-e2e-" + std::to_string(::getpid()) + "-" +
                                       test->test_suite_name() + "-" + test->name());
    fs::remove_all(dir);
    fs::create_directories(ConfigPath().parent_path());
    fs::copy_file(TAMEWARDEN_PLUGIN_PATH, ConfigPath().parent_path() / "TameWarden.so");
}

ServerFolder::~ServerFolder() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
}

fs::path ServerFolder::ConfigPath() const {
    return dir / "ArkApi" / "Plugins" / "TameWarden" / "config.json";
}

void ServerFolder::WriteConfig(const nlohmann::json& config) const {
    // Written beside and renamed, so the server never reads half a file.
    const fs::path partial = ConfigPath().string() + ".partial";
    std::ofstream(partial, std::ios::trunc) << config.dump(2);
    fs::rename(partial, ConfigPath());
}

void ServerFolder::RemoveConfig() const { fs::remove(ConfigPath()); }

void ServerFolder::WriteWorldText(const std::string& text) const {
    std::ofstream(WorldPath(), std::ios::binary | std::ios::trunc) << text;
}

std::vector<std::string> ServerFolder::Arguments() const {
    return {"--server-dir",       dir.string(), "--world",
            WorldPath().string(), "--events",   EventsPath().string()};
}

std::vector<nlohmann::json> ServerFolder::Events() const {
    std::ifstream file(EventsPath(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::vector<nlohmann::json> events;
    std::string line;
    const std::string all = text.str();
    size_t start = 0;
    // Only complete lines: the server may be writing the last one right now.
    for (auto end = all.find('\n'); end != std::string::npos; end = all.find('\n', start)) {
        events.push_back(nlohmann::json::parse(all.substr(start, end - start)));
        start = end + 1;
    }
    return events;
}

std::vector<nlohmann::json> ServerFolder::Events(const std::string& type) const {
    std::vector<nlohmann::json> matching;
    for (auto& event : Events())
        if (event.value("type", "") == type) matching.push_back(event);
    return matching;
}

bool ServerFolder::WaitForEvents(
    const std::function<bool(const std::vector<nlohmann::json>&)>& done,
    std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (done(Events())) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

int FreePort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

std::vector<std::string> Creatures(const std::vector<nlohmann::json>& events,
                                   const std::string& type) {
    std::vector<std::string> keys;
    for (const auto& event : events)
        if (event.value("type", "") == type) keys.push_back(event.value("creature", ""));
    return keys;
}

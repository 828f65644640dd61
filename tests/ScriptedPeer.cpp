#include "tests/ScriptedPeer.h"

#include <nlohmann/json.hpp>

ScriptedPeer::ScriptedPeer(Script peerScript) : script(std::move(peerScript)) {
    server.new_task_queue = [] { return new httplib::ThreadPool(16); };
    // One post per connection, so a stop never waits for an idle client's connection.
    server.set_keep_alive_max_count(1);
    server.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
        const std::string content =
            nlohmann::json::parse(request.body, nullptr, false).value("content", "");
        size_t index = 0;
        {
            std::lock_guard lock(mutex);
            index = received.size();
            received.push_back({content, request.get_header_value("User-Agent"), Clock::now(), 0});
        }
        const Answer answer = script(index, content);
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, answer.hold, [this] { return released; });
            received[index].status = answer.status;
            changed.notify_all();
        }
        response.status = answer.status;
        for (const auto& [name, value] : answer.headers) response.set_header(name, value);
        if (!answer.body.empty()) response.set_content(answer.body, "application/json");
    });
    port = server.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server.listen_after_bind(); });
    for (int wait = 0; wait < 500 && !server.is_running(); ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

ScriptedPeer::~ScriptedPeer() {
    Release();
    server.stop();
    thread.join();
}

std::string ScriptedPeer::Url() const {
    return "http://127.0.0.1:" + std::to_string(port) + "/hook";
}

std::vector<ScriptedPeer::Received> ScriptedPeer::All() {
    std::lock_guard lock(mutex);
    return received;
}

std::vector<std::string> ScriptedPeer::Delivered() {
    std::lock_guard lock(mutex);
    std::vector<std::string> contents;
    for (const Received& post : received)
        if (post.status >= 200 && post.status < 300) contents.push_back(post.content);
    return contents;
}

void ScriptedPeer::Release() {
    std::lock_guard lock(mutex);
    released = true;
    changed.notify_all();
}

// A web-hook peer on 127.0.0.1 whose answer to each post a test scripts: status, headers, body
// and how long it holds the post first. It records every post it received.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedPeer {
public:
    using Clock = std::chrono::steady_clock;

    struct Answer {
        int status = 204;
        std::map<std::string, std::string> headers;
        std::string body;
        std::chrono::milliseconds hold{0};  // waits this long (or until released) first
    };
    struct Received {
        std::string content;
        std::string userAgent;
        Clock::time_point at;
        int status;
    };
    // The answer to the post numbered `index` (from 0) with this content.
    using Script = std::function<Answer(size_t index, const std::string& content)>;

    explicit ScriptedPeer(Script script);
    ~ScriptedPeer();
    ScriptedPeer(const ScriptedPeer&) = delete;
    ScriptedPeer& operator=(const ScriptedPeer&) = delete;

    std::string Url() const;
    std::vector<Received> All();
    // The contents of the posts answered with a 2xx status, in the order they arrived.
    std::vector<std::string> Delivered();
    // Ends every hold at once.
    void Release();

private:
    httplib::Server server;
    std::thread thread;
    Script script;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Received> received;
    bool released = false;
    int port = 0;
};

// A stand-in for the chat service behind the web hook: an HTTP listener on 127.0.0.1 that
// accepts posts and shows each message's "content" on the terminal as a chat client would.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace standin {

// The message as a chat client shows it, with terminal colours: "# " headings, **bold** and
// ``` code blocks.
std::string RenderChatMessage(const std::string& content);

class ChatListener {
public:
    // Called with each received content, from the listener's threads.
    using Received = std::function<void(const std::string& path, const std::string& content)>;

    // Listens on 127.0.0.1:port (0 picks a free one); throws std::runtime_error if it cannot.
    ChatListener(int port, Received received);
    ~ChatListener();
    ChatListener(const ChatListener&) = delete;
    ChatListener& operator=(const ChatListener&) = delete;

    int Port() const { return port; }
    void Stop();

private:
    std::unique_ptr<httplib::Server> server;
    int port = 0;
    std::thread thread;
};

}  // namespace standin

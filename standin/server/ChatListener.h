// A stand-in for the chat service behind the web hook: an HTTP listener on 127.0.0.1 that
// accepts posts and shows each message's "content" on the terminal as a chat client would. By
// default it keeps the service's limits: at most 2000 characters of content, 5 posts per 2
// seconds per hook (429 with Retry-After beyond that, and the X-RateLimit headers on every
// answer), a User-Agent on every request, 204 on success.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace standin {

// What became of a post.
enum class ChatOutcome { Accepted, RefusedTooLong, RefusedRateLimit, RefusedMalformed };

// "too long", "rate limit" or "malformed" for a refused post.
const char* ChatRefusalName(ChatOutcome outcome);

// The message as a chat client shows it, with terminal colours: "# " headings, **bold** and
// ``` code blocks.
std::string RenderChatMessage(const std::string& content);

struct ChatLimits {
    bool enforced = true;  // false: every well-formed post is accepted
    size_t maxCharacters = 2000;
    int postsPerWindow = 5;
    double windowSeconds = 2;
};

class ChatListener {
public:
    // Called with each post's content and outcome, from the listener's threads.
    using Received = std::function<void(const std::string& path, const std::string& content,
                                        ChatOutcome outcome)>;

    // Listens on 127.0.0.1:port (0 picks a free one); throws std::runtime_error if it cannot.
    ChatListener(int port, Received received, ChatLimits limits = {});
    ~ChatListener();
    ChatListener(const ChatListener&) = delete;
    ChatListener& operator=(const ChatListener&) = delete;

    int Port() const { return port; }
    void Stop();

private:
    struct Window;

    std::unique_ptr<httplib::Server> server;
    std::unique_ptr<Window> windows;
    int port = 0;
    std::thread thread;
};

}  // namespace standin

#include "standin/server/ChatListener.h"

#include <httplib.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

#include "standin/Terminal.h"

namespace standin {
namespace {

constexpr const char* Bold = "\x1b[1m";
constexpr const char* BoldOff = "\x1b[22m";
constexpr const char* Heading = "\x1b[1;4;36m";
constexpr const char* Code = "\x1b[2;37m";
constexpr const char* Plain = "\x1b[0m";

// **bold** spans inside one line; an unmatched "**" stays as written.
std::string RenderInline(const std::string& line) {
    std::string out;
    size_t at = 0;
    for (;;) {
        const auto open = line.find("**", at);
        const auto close = open == std::string::npos ? open : line.find("**", open + 2);
        if (close == std::string::npos) break;
        out +=
            line.substr(at, open - at) + Bold + line.substr(open + 2, close - open - 2) + BoldOff;
        at = close + 2;
    }
    return out + line.substr(at);
}

size_t CharacterCount(const std::string& utf8) {
    size_t count = 0;
    for (const char byte : utf8) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    return count;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", seconds);
    return text;
}

}  // namespace

// Each hook's current rate window: how many posts it took and when it resets.
struct ChatListener::Window {
    using Clock = std::chrono::steady_clock;
    struct State {
        int posts = 0;
        Clock::time_point resetAt;
    };

    // Counts a post against its hook's window: the posts left after it, or none when the window
    // is used up; `resetAfter` is set to the seconds until the window resets.
    std::optional<int> Take(const std::string& path, const ChatLimits& limits, double& resetAfter) {
        std::lock_guard lock(mutex);
        const auto now = Clock::now();
        State& state = byPath[path];
        if (now >= state.resetAt) {
            state.posts = 0;
            state.resetAt = now + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(limits.windowSeconds));
        }
        resetAfter = std::chrono::duration<double>(state.resetAt - now).count();
        if (state.posts >= limits.postsPerWindow) return std::nullopt;
        ++state.posts;
        return limits.postsPerWindow - state.posts;
    }

    std::mutex mutex;
    std::map<std::string, State> byPath;
};

const char* ChatRefusalName(ChatOutcome outcome) {
    switch (outcome) {
        case ChatOutcome::RefusedTooLong:
            return "too long";
        case ChatOutcome::RefusedRateLimit:
            return "rate limit";
        default:
            return "malformed";
    }
}

std::string RenderChatMessage(const std::string& content) {
    std::string out;
    bool inCode = false;
    size_t start = 0;
    while (start <= content.size()) {
        const auto end = std::min(content.find('\n', start), content.size());
        std::string line = content.substr(start, end - start);
        start = end + 1;
        // Fences may sit inside a line ("Members: ```a\nb```"); each one toggles the code block.
        std::string rendered;
        size_t at = 0;
        for (auto fence = line.find("```"); fence != std::string::npos;
             fence = line.find("```", at)) {
            const std::string piece = line.substr(at, fence - at);
            rendered += inCode ? Code + piece + Plain : RenderInline(piece);
            inCode = !inCode;
            // An opening fence after text starts the block on its own line.
            if (inCode) rendered += at == 0 && piece.empty() ? "  " : "\n  ";
            at = fence + 3;
        }
        const std::string rest = line.substr(at);
        if (inCode)
            rendered += Code + rest + Plain;
        else if (at == 0 && rest.starts_with("# "))
            rendered += Heading + RenderInline(rest.substr(2)) + Plain;
        else
            rendered += RenderInline(rest);
        out += rendered;
        if (start <= content.size()) out += inCode ? "\n  " : "\n";
    }
    return out;
}

ChatListener::ChatListener(int requestedPort, Received received, ChatLimits limits)
    : server(std::make_unique<httplib::Server>()), windows(std::make_unique<Window>()) {
    server->Post(".*", [received, limits, this](const httplib::Request& request,
                                                httplib::Response& response) {
        const auto refuse = [&](int status, const nlohmann::json& body, ChatOutcome outcome,
                                const std::string& content) {
            response.status = status;
            response.set_content(body.dump(), "application/json");
            if (received) received(request.path, content, outcome);
        };
        std::string content;
        try {
            content = nlohmann::json::parse(request.body).value("content", "");
        } catch (const std::exception&) {
            return refuse(400, {{"message", "Cannot send an empty message"}, {"code", 50006}},
                          ChatOutcome::RefusedMalformed, "");
        }
        if (limits.enforced) {
            if (!request.has_header("User-Agent"))
                return refuse(400, {{"message", "A User-Agent header is required"}},
                              ChatOutcome::RefusedMalformed, content);
            double resetAfter = 0;
            const std::optional<int> remaining = windows->Take(request.path, limits, resetAfter);
            response.set_header("X-RateLimit-Limit", std::to_string(limits.postsPerWindow));
            response.set_header("X-RateLimit-Remaining", std::to_string(remaining.value_or(0)));
            response.set_header("X-RateLimit-Reset-After", Seconds(resetAfter));
            if (!remaining) {
                response.set_header("Retry-After",
                                    std::to_string(static_cast<int>(std::ceil(resetAfter))));
                return refuse(429,
                              {{"message", "You are being rate limited."},
                               {"retry_after", std::round(resetAfter * 1000) / 1000},
                               {"global", false}},
                              ChatOutcome::RefusedRateLimit, content);
            }
            if (CharacterCount(content) > limits.maxCharacters)
                return refuse(400,
                              {{"content",
                                {"Must be " + std::to_string(limits.maxCharacters) +
                                 " or fewer in length."}}},
                              ChatOutcome::RefusedTooLong, content);
        }
        std::fputs(ForOutput("\x1b[35m[chat " + request.path + "]\x1b[0m\n" +
                             RenderChatMessage(content) + "\n")
                       .c_str(),
                   stdout);
        std::fflush(stdout);
        if (received) received(request.path, content, ChatOutcome::Accepted);
        response.status = 204;
    });
    if (requestedPort == 0) {
        port = server->bind_to_any_port("127.0.0.1");
        if (port < 0) throw std::runtime_error("chat stand-in: cannot listen on 127.0.0.1");
    } else {
        if (!server->bind_to_port("127.0.0.1", requestedPort))
            throw std::runtime_error("chat stand-in: cannot listen on 127.0.0.1:" +
                                     std::to_string(requestedPort));
        port = requestedPort;
    }
    thread = std::thread([this] { server->listen_after_bind(); });
}

ChatListener::~ChatListener() { Stop(); }

void ChatListener::Stop() {
    server->stop();
    if (thread.joinable()) thread.join();
}

}  // namespace standin

#include "standin/server/ChatListener.h"

#include <httplib.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

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

}  // namespace

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

ChatListener::ChatListener(int requestedPort, Received received)
    : server(std::make_unique<httplib::Server>()) {
    server->Post(".*", [received](const httplib::Request& request, httplib::Response& response) {
        std::string content;
        try {
            content = nlohmann::json::parse(request.body).value("content", "");
        } catch (const std::exception&) {
            response.status = 400;
            return;
        }
        std::printf("\x1b[35m[chat %s]\x1b[0m\n%s\n", request.path.c_str(),
                    RenderChatMessage(content).c_str());
        std::fflush(stdout);
        if (received) received(request.path, content);
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

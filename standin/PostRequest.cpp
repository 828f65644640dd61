#include "standin/PostRequest.h"

#include <cstdio>
#include <exception>
#include <utility>

#include "standin/Host.h"

namespace standin {

void Complete(const API::Requests::Completion& completion, bool success, Response response) {
    if (!completion) return;
    try {
        completion(success, std::move(response.body), std::move(response.headers));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "post completion failed: %s\n", error.what());
    } catch (...) {
        std::fprintf(stderr, "post completion failed\n");
    }
}

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace standin

namespace API {

Requests& Requests::Get() {
    STANDIN_HOST_OPERATION("API::Requests::Get");
    static Requests requests;
    return requests;
}

bool Requests::CreatePostRequest(const std::string& url, const Completion& completion,
                                 const std::string& body, const std::string& contentType,
                                 const std::vector<std::string>& headerLines) {
    if (STANDIN_REFUSABLE_HOST_OPERATION("API::Requests::CreatePostRequest")) return false;
    // The game thread calls this, also from inside the plugin's DllMain on Windows: nothing else
    // may escape or wait here.
    try {
        standin::Host& host = standin::Host::Get();
        host.events.Record({{"type", "post"}, {"url", url}, {"body", body}});
        if (!host.sendRequests) {
            using enum standin::Host::UnsentPosts;
            if (host.unsentPosts == Unanswered) return true;
            standin::Complete(completion, host.unsentPosts == Accepted, {});
            return host.unsentPosts == Accepted;
        }
        standin::PostRequest request{url, body, contentType, headerLines, completion};
        if (standin::SubmitPost(request)) return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "post to %s not started: %s\n", url.c_str(), error.what());
    }
    standin::Complete(completion, false, {});
    return false;
}

}  // namespace API

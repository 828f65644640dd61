// The host's HTTP client: requests start at once and complete later, off the game thread.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace API {

class Requests {
public:
    using Completion =
        std::function<void(bool, std::string, std::unordered_map<std::string, std::string>)>;

    static Requests& Get();

    // Starts a POST; `completion` later receives the success flag, the body and the headers.
    bool CreatePostRequest(const std::string& url, const Completion& completion,
                           const std::string& body, const std::string& contentType,
                           const std::vector<std::string>& headerLines);

private:
    Requests() = default;
};

}  // namespace API

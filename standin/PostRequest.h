// A web-hook post as the stand-in host queues it, and what both of its HTTP clients (libcurl,
// WinHTTP) share around it: the completion call and the host's entry point.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "host/Requests.h"

namespace standin {

using Headers = std::unordered_map<std::string, std::string>;

struct PostRequest {
    std::string url;
    std::string body;
    std::string contentType;
    std::vector<std::string> headerLines;
    API::Requests::Completion completion;
};

struct Response {
    std::string body;
    Headers headers;
};

// Calls the completion, if any. The worker threads are a boundary: an exception out of a
// completion would end the process, so it is printed instead.
void Complete(const API::Requests::Completion& completion, bool success, Response response);

// The text without blanks or line ends at either end, as header names and values are read.
std::string_view TrimBlanks(std::string_view text);

// Queues the post for a worker of this system's client; false when it is refused (stopping, or
// too many pending), and `request` is then untouched.
bool SubmitPost(PostRequest& request);

}  // namespace standin

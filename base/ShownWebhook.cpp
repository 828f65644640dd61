#include "base/ShownWebhook.h"

std::string ShownWebhook(std::string_view url) {
    const size_t end = url.find_last_not_of('/');
    if (end == std::string_view::npos) return std::string(url);
    const size_t lastSlash = url.rfind('/', end);
    if (lastSlash == std::string_view::npos) return "…";
    return std::string(url.substr(0, lastSlash + 1)) + "…";
}

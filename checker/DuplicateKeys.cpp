#include "checker/DuplicateKeys.h"

#include <cctype>
#include <map>
#include <nlohmann/json.hpp>

namespace checker {
namespace {

struct OpenObject {
    std::string path;                               // the enclosing keys, "." between them
    std::map<std::string, std::vector<int>> lines;  // each key's lines, in order
    std::vector<std::string> order;                 // keys in the order first written
};

// Where `text[at]` is a '"', the index just past the string's closing quote.
size_t StringEnd(const std::string& text, size_t at) {
    for (++at; at < text.size(); ++at) {
        if (text[at] == '\\')
            ++at;
        else if (text[at] == '"')
            return at + 1;
    }
    return text.size();
}

}  // namespace

std::vector<DuplicateKey> FindDuplicateKeys(const std::string& text) {
    std::vector<DuplicateKey> duplicates;
    std::vector<OpenObject> objects;
    std::vector<bool> inObject;  // per open bracket: an object (true) or an array
    std::string lastKey;         // the key whose value comes next
    int line = 1;
    for (size_t at = 0; at < text.size(); ++at) {
        const char unit = text[at];
        if (unit == '\n') {
            ++line;
        } else if (unit == '"') {
            const size_t end = StringEnd(text, at);
            size_t next = end;
            while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next])))
                ++next;
            if (!inObject.empty() && inObject.back() && next < text.size() && text[next] == ':') {
                // Escapes are compared as the library decodes them.
                const auto decoded =
                    nlohmann::json::parse(text.substr(at, end - at), nullptr, false);
                lastKey = decoded.is_string() ? decoded.get<std::string>() : std::string();
                OpenObject& object = objects.back();
                std::vector<int>& keyLines = object.lines[lastKey];
                if (keyLines.empty()) object.order.push_back(lastKey);
                keyLines.push_back(line);
            }
            at = end - 1;
        } else if (unit == '{') {
            const std::string parent = objects.empty() ? "" : objects.back().path;
            const bool member = !inObject.empty() && inObject.back();
            objects.push_back(
                {member ? (parent.empty() ? lastKey : parent + "." + lastKey) : parent, {}, {}});
            inObject.push_back(true);
        } else if (unit == '[') {
            inObject.push_back(false);
        } else if (unit == ']' && !inObject.empty()) {
            inObject.pop_back();
        } else if (unit == '}' && !inObject.empty()) {
            inObject.pop_back();
            const OpenObject& object = objects.back();
            for (const std::string& key : object.order)
                if (object.lines.at(key).size() > 1)
                    duplicates.push_back({object.path.empty() ? key : object.path + "." + key,
                                          object.lines.at(key)});
            objects.pop_back();
        }
    }
    return duplicates;
}

}  // namespace checker

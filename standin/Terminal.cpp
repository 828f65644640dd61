#include "standin/Terminal.h"

#include "standin/Host.h"

namespace standin {

std::string ForOutput(const std::string& text) {
    if (Host::Get().colourOutput) return text;
    std::string plain;
    plain.reserve(text.size());
    for (size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\x1b' && at + 1 < text.size() && text[at + 1] == '[') {
            const size_t end = text.find('m', at + 2);
            if (end != std::string::npos) {
                at = end;
                continue;
            }
        }
        plain += text[at];
    }
    return plain;
}

}  // namespace standin

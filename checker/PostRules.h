// Telling which rule made a post from the text of its message, by the audit's message formats.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace checker {

struct PostRule {
    std::string rule;  // the key that switches the rule
    bool destroyed = false;
    // The post comes before the destruction (the over-level rule), else after it.
    bool postedBeforeDestruction = false;
    // The filled-in fields of the message format, in order.
    std::vector<std::string> fields;
    std::vector<std::string> fieldNames;
};

std::optional<PostRule> RuleOfMessage(const std::string& message);

}  // namespace checker

#include "tests/TextPattern.h"

#include <regex>

struct TextPattern::Compiled {
    std::regex regex;
};

namespace {

std::vector<std::string> Groups(const std::smatch& match) {
    std::vector<std::string> groups;
    for (const auto& group : match) groups.push_back(group.str());
    return groups;
}

}  // namespace

TextPattern::TextPattern(const std::string& expression)
    : compiled(std::make_unique<Compiled>(Compiled{std::regex(expression)})) {}

TextPattern::~TextPattern() = default;

bool TextPattern::Matches(const std::string& text) const {
    return std::regex_match(text, compiled->regex);
}

std::optional<std::vector<std::string>> TextPattern::Search(const std::string& text) const {
    std::smatch match;
    if (!std::regex_search(text, match, compiled->regex)) return std::nullopt;
    return Groups(match);
}

std::vector<std::vector<std::string>> TextPattern::SearchAll(const std::string& text) const {
    std::vector<std::vector<std::string>> matches;
    for (auto match = std::sregex_iterator(text.begin(), text.end(), compiled->regex);
         match != std::sregex_iterator(); ++match)
        matches.push_back(Groups(*match));
    return matches;
}

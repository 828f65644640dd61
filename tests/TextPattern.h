// A regular expression (ECMAScript, as std::regex reads it) for the tests' checks of texts.
// std::regex is compiled here once: each test file that used it directly took seconds longer to
// build.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TextPattern {
public:
    explicit TextPattern(const std::string& expression);
    ~TextPattern();

    // Whether the whole text matches.
    bool Matches(const std::string& text) const;
    // The first match in the text: the whole match, then each group.
    std::optional<std::vector<std::string>> Search(const std::string& text) const;
    // Every match in the text, in order, as Search gives one.
    std::vector<std::vector<std::string>> SearchAll(const std::string& text) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> compiled;
};

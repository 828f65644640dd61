// Text with letter case folded, for matching names typed by an operator against names players
// chose: Latin, Greek and Cyrillic letters, not only ASCII.
#pragma once

#include <string>
#include <string_view>

namespace checker {

// Each upper-case letter of UTF-8 `text` as its lower-case letter; other text, invalid bytes
// included, unchanged.
std::string FoldedCase(std::string_view text);

}  // namespace checker

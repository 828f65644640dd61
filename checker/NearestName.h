// Suggestions for misspelt names: the closest known name by edit distance, ASCII case ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace checker {

// Insertions, deletions and substitutions that turn one text into the other, case ignored.
size_t EditDistance(std::string_view left, std::string_view right);

// The closest of `known`, when close enough to be a likely misspelling of `name`.
std::optional<std::string> NearestName(std::string_view name,
                                       const std::vector<std::string_view>& known);

}  // namespace checker

#include "checker/NearestName.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace checker {

size_t EditDistance(std::string_view left, std::string_view right) {
    std::vector<size_t> previous(right.size() + 1), current(right.size() + 1);
    std::iota(previous.begin(), previous.end(), 0);
    for (size_t row = 1; row <= left.size(); ++row) {
        current[0] = row;
        for (size_t column = 1; column <= right.size(); ++column) {
            const bool same = std::tolower(static_cast<unsigned char>(left[row - 1])) ==
                              std::tolower(static_cast<unsigned char>(right[column - 1]));
            current[column] = std::min({previous[column] + 1, current[column - 1] + 1,
                                        previous[column - 1] + (same ? 0 : 1)});
        }
        std::swap(previous, current);
    }
    return previous[right.size()];
}

std::optional<std::string> NearestName(std::string_view name,
                                       const std::vector<std::string_view>& known) {
    std::optional<std::string> nearest;
    size_t best = 0;
    for (std::string_view candidate : known) {
        const size_t distance = EditDistance(name, candidate);
        // A third of the name may differ, and never more than four edits.
        const size_t allowed = std::min<size_t>(4, std::max<size_t>(1, candidate.size() / 3));
        if (distance > allowed || (nearest && distance >= best)) continue;
        nearest = std::string(candidate);
        best = distance;
    }
    return nearest;
}

}  // namespace checker

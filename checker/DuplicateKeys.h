// Keys written twice in one JSON object. The JSON library keeps the last silently, so the earlier
// value looks in force while it is not.
#pragma once

#include <string>
#include <vector>

namespace checker {

struct DuplicateKey {
    std::string key;         // "Key", or "Key.Member" for a key inside another object
    std::vector<int> lines;  // every line that sets it, in order; the last one applies
};

// `text` must be well-formed JSON.
std::vector<DuplicateKey> FindDuplicateKeys(const std::string& text);

}  // namespace checker

// A host operation that answers false did not do what it was asked (a hook, an unregistration, a
// post, the game's destroy). Raised as its failure, the boundary that contains failures names it.
#pragma once

#include <stdexcept>
#include <string>

inline void ThrowIfRefused(bool done, const char* operation) {
    if (!done) throw std::runtime_error(std::string(operation) + " answered false");
}

// How many creature checks ran to their end since the library was loaded, by where they came from.
#pragma once

#include <cstdint>

struct CheckCounts {
    uint64_t atLoad = 0;          // by the start-up sweep
    uint64_t afterBeginPlay = 0;  // by the deferred queue
};

CheckCounts& TheCheckCounts();

// Live heap bytes of the whole process (every library's malloc, the engine allocator included),
// counted by replacing malloc and its relatives in this executable.
#pragma once

#include <cstddef>

namespace AllocationCounter {

// Bytes allocated and not yet freed, by usable block size.
size_t LiveBytes();
// The highest LiveBytes since the last ResetPeak.
size_t PeakBytes();
void ResetPeak();
// Blocks handed out so far, each growth counted as one.
size_t Allocations();

}  // namespace AllocationCounter

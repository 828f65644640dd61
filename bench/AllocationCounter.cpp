#include "bench/AllocationCounter.h"

#include <malloc.h>

#include <atomic>

// glibc's own entry points: the replacements below count and then hand over to them.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<size_t> live{0};
std::atomic<size_t> peak{0};
std::atomic<size_t> allocations{0};

void* Counted(void* block) {
    if (block == nullptr) return block;
    allocations.fetch_add(1);
    const size_t now = live.fetch_add(malloc_usable_size(block)) + malloc_usable_size(block);
    size_t highest = peak.load();
    while (now > highest && !peak.compare_exchange_weak(highest, now)) {
    }
    return block;
}

void Uncount(void* block) {
    if (block != nullptr) live.fetch_sub(malloc_usable_size(block));
}

}  // namespace

extern "C" {

void* malloc(size_t size) { return Counted(__libc_malloc(size)); }
void* calloc(size_t count, size_t size) { return Counted(__libc_calloc(count, size)); }
void* realloc(void* block, size_t size) {
    Uncount(block);
    void* moved = __libc_realloc(block, size);
    // A failed growth leaves the old block in place.
    if (moved == nullptr && block != nullptr && size != 0) Counted(block);
    return Counted(moved);
}
void* memalign(size_t alignment, size_t size) { return Counted(__libc_memalign(alignment, size)); }
void* aligned_alloc(size_t alignment, size_t size) {
    return Counted(__libc_memalign(alignment, size));
}
int posix_memalign(void** out, size_t alignment, size_t size) {
    void* block = Counted(__libc_memalign(alignment, size));
    if (block == nullptr) return 12;  // ENOMEM
    *out = block;
    return 0;
}
void free(void* block) {
    Uncount(block);
    __libc_free(block);
}

}  // extern "C"

namespace AllocationCounter {

size_t LiveBytes() { return live.load(); }
size_t PeakBytes() { return peak.load(); }
void ResetPeak() { peak.store(live.load()); }
size_t Allocations() { return allocations.load(); }

}  // namespace AllocationCounter

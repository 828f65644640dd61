// The engine allocator, reached by name like every other game function.
#pragma once

#include <cstdint>

#include "host/GetAddress.h"

inline void* EngineMalloc(uint64_t size) {
    return GameFunction<void*(uint64_t, uint32_t)>("FMemory.Malloc(unsigned__int64,unsignedint)")(
        size, 0);
}

inline void* EngineRealloc(void* block, uint64_t size) {
    return GameFunction<void*(void*, uint64_t, uint32_t)>(
        "FMemory.Realloc(void*,unsigned__int64,unsignedint)")(block, size, 0);
}

inline void EngineFree(void* block) {
    if (block != nullptr) GameFunction<void(void*)>("FMemory.Free(void*)")(block);
}

// The engine's object table: weak references resolve through an index and a serial number, so a
// reference to a destroyed object resolves to null even when its slot is reused.
#pragma once

#include <cstdint>
#include <vector>

#include "standin/Engine.h"

namespace standin {

class ObjectTable {
public:
    void Add(UObject* object);
    void Remove(UObject* object);
    void SetWeak(FWeakObjectPtr& weak, UObject* object) const;
    UObject* Resolve(const FWeakObjectPtr& weak) const;

private:
    struct Slot {
        UObject* object = nullptr;
        int32_t serial = 0;
    };
    std::vector<Slot> slots;
    std::vector<int32_t> freeSlots;
};

}  // namespace standin

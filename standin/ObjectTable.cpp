#include "standin/ObjectTable.h"

namespace standin {

void ObjectTable::Add(UObject* object) {
    int32_t index;
    if (freeSlots.empty()) {
        index = static_cast<int32_t>(slots.size());
        slots.push_back({});
    } else {
        index = freeSlots.back();
        freeSlots.pop_back();
    }
    Slot& slot = slots[static_cast<size_t>(index)];
    slot.object = object;
    ++slot.serial;  // serials start at 1, so a zeroed reference never resolves
    object->InternalIndex = index;
}

void ObjectTable::Remove(UObject* object) {
    const int32_t index = object->InternalIndex;
    if (index < 0 || index >= static_cast<int32_t>(slots.size()) ||
        slots[static_cast<size_t>(index)].object != object)
        return;
    slots[static_cast<size_t>(index)].object = nullptr;
    freeSlots.push_back(index);
    object->InternalIndex = -1;
}

void ObjectTable::SetWeak(FWeakObjectPtr& weak, UObject* object) const {
    if (object == nullptr || object->InternalIndex < 0) {
        weak = FWeakObjectPtr{};
        return;
    }
    weak.ObjectIndex = object->InternalIndex;
    weak.ObjectSerialNumber = slots[static_cast<size_t>(object->InternalIndex)].serial;
}

UObject* ObjectTable::Resolve(const FWeakObjectPtr& weak) const {
    if (weak.ObjectIndex < 0 || weak.ObjectIndex >= static_cast<int32_t>(slots.size()))
        return nullptr;
    const Slot& slot = slots[static_cast<size_t>(weak.ObjectIndex)];
    return slot.serial == weak.ObjectSerialNumber ? slot.object : nullptr;
}

}  // namespace standin

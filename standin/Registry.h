// The names behind GetAddress: game functions by name, fields by name as offsets into objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "standin/Host.h"

namespace standin {

// Names to values in one flat, open-addressed table. The plugin looks names up at every use, tens
// of times per creature check, so a lookup is one hash of a few bytes, one mask and, almost always,
// one whole-name comparison; a node-based map cost several times that.
template <typename Value>
class NameTable {
public:
    void Set(std::string name, Value value) {
        if ((count + 1) * 2 > slots.size()) Grow();
        Slot& slot = slots[IndexOf(name)];
        if (!slot.used) ++count;
        slot = {true, std::move(name), value};
    }
    const Value* Find(std::string_view name) const {
        if (slots.empty()) return nullptr;
        const Slot& slot = slots[IndexOf(name)];
        return slot.used ? &slot.value : nullptr;
    }

private:
    struct Slot {
        bool used = false;
        std::string name;
        Value value{};
    };

    // The slot holding `name`, or the free slot where it would go; the table is never full.
    size_t IndexOf(std::string_view name) const {
        const size_t mask = slots.size() - 1;
        size_t index = Hash(name) & mask;
        while (slots[index].used && slots[index].name != name) index = (index + 1) & mask;
        return index;
    }
    void Grow() {
        std::vector<Slot> old(slots.empty() ? 32 : slots.size() * 2);
        old.swap(slots);
        count = 0;
        for (Slot& slot : old)
            if (slot.used) Set(std::move(slot.name), slot.value);
    }
    // The registered names differ in length or near their ends ("...Applied" and
    // "...AppliedTamed"), so the length and the first and last eight bytes spread them.
    static size_t Hash(std::string_view text) {
        uint64_t head = 0, tail = 0;
        if (text.size() >= sizeof(uint64_t)) {
            std::memcpy(&head, text.data(), sizeof head);
            std::memcpy(&tail, text.data() + text.size() - sizeof tail, sizeof tail);
        } else if (!text.empty()) {
            std::memcpy(&head, text.data(), text.size());
        }
        uint64_t mixed = text.size() * 0x9E3779B97F4A7C15ull;
        mixed ^= head * 0xFF51AFD7ED558CCDull;
        mixed = (mixed << 31 | mixed >> 33) ^ tail * 0xC4CEB9FE1A85EC53ull;
        return static_cast<size_t>(mixed ^ mixed >> 29);
    }

    std::vector<Slot> slots;
    size_t count = 0;
};

// What the plugin calls in place of game function F: the same function, counted first as a host
// operation of the plugin's (and failed when the fault loop says so). `Nullable` marks a function
// whose contract allows a null answer, which is then another way to fail it; `Refusable` one whose
// false answer says it did not do it (the destroy).
template <auto F, bool Nullable, bool Refusable>
struct HostCall;

template <typename Result, typename... Args, Result (*F)(Args...), bool Nullable, bool Refusable>
struct HostCall<F, Nullable, Refusable> {
    static inline std::string name;

    static Result Call(Args... args) {
        if constexpr (Nullable) {
            if (STANDIN_NULLABLE_HOST_OPERATION(name.c_str())) return nullptr;
        } else if constexpr (Refusable) {
            if (STANDIN_REFUSABLE_HOST_OPERATION(name.c_str())) return false;
        } else {
            STANDIN_HOST_OPERATION(name.c_str());
        }
        return F(args...);
    }
};

class Registry {
public:
    // A game function under its lookup name; the plugin gets the counted call of it.
    template <auto F, bool Nullable = false, bool Refusable = false>
    void AddFunction(std::string name) {
        using Call = HostCall<F, Nullable, Refusable>;
        Call::name = name;
        functions.Set(std::move(name),
                      {reinterpret_cast<void*>(&Call::Call), reinterpret_cast<void*>(F)});
    }
    // A function that only releases: it cannot fail, and nothing could handle it if it did.
    template <auto F>
    void AddRelease(std::string name) {
        functions.Set(std::move(name),
                      {reinterpret_cast<void*>(F), reinterpret_cast<void*>(F), true});
    }
    void AddField(std::string name, std::ptrdiff_t offset) { fields.Set(std::move(name), offset); }

    // Both throw std::invalid_argument naming an unknown name. Function is what the plugin calls;
    // GameOwnFunction is the game's own, which the game calls.
    void* Function(std::string_view name) const;
    void* GameOwnFunction(std::string_view name) const;
    std::ptrdiff_t FieldOffset(std::string_view name) const;
    bool HasFunction(std::string_view name) const { return functions.Find(name) != nullptr; }
    // A release, whose lookup is no more failed than its call.
    bool IsRelease(std::string_view name) const {
        const Entry* entry = functions.Find(name);
        return entry != nullptr && entry->release;
    }

private:
    struct Entry {
        void* counted = nullptr;
        void* own = nullptr;
        bool release = false;
    };
    const Entry& Find(std::string_view name) const;

    NameTable<Entry> functions;
    NameTable<std::ptrdiff_t> fields;
};

// The registry with every game function and field this stand-in offers.
Registry& GameRegistry();

}  // namespace standin

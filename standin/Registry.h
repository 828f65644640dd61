// The names behind GetAddress: game functions by name, fields by name as offsets into objects.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>

namespace standin {

class Registry {
public:
    template <typename Function>
    void AddFunction(std::string name, Function* function) {
        functions[std::move(name)] = reinterpret_cast<void*>(function);
    }
    void AddField(std::string name, std::ptrdiff_t offset) { fields[std::move(name)] = offset; }

    // Both throw std::invalid_argument naming an unknown name.
    void* Function(std::string_view name) const;
    std::ptrdiff_t FieldOffset(std::string_view name) const;
    bool HasFunction(std::string_view name) const;

private:
    // The plugin looks names up at every use, so hashing every byte of a 60-byte name cost more
    // than the rest of a lookup. The registered names differ in length or near their ends
    // ("...Applied" and "...AppliedTamed"), so the length and the first and last eight bytes
    // spread them; the table still compares whole names.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            uint64_t head = 0, tail = 0;
            if (!text.empty()) {
                const size_t width = std::min<size_t>(text.size(), sizeof(uint64_t));
                std::memcpy(&head, text.data(), width);
                std::memcpy(&tail, text.data() + text.size() - width, width);
            }
            uint64_t mixed = text.size() * 0x9E3779B97F4A7C15ull;
            mixed ^= head * 0xFF51AFD7ED558CCDull;
            mixed = (mixed << 31 | mixed >> 33) ^ tail * 0xC4CEB9FE1A85EC53ull;
            return static_cast<size_t>(mixed ^ mixed >> 29);
        }
    };
    std::unordered_map<std::string, void*, Hash, std::equal_to<>> functions;
    std::unordered_map<std::string, std::ptrdiff_t, Hash, std::equal_to<>> fields;
};

// The registry with every game function and field this stand-in offers.
Registry& GameRegistry();

}  // namespace standin

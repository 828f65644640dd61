// The names behind GetAddress: game functions by name, fields by name as offsets into objects.
#pragma once

#include <cstddef>
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
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, void*, Hash, std::equal_to<>> functions;
    std::unordered_map<std::string, std::ptrdiff_t, Hash, std::equal_to<>> fields;
};

// The registry with every game function and field this stand-in offers.
Registry& GameRegistry();

}  // namespace standin

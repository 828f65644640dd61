#include "standin/Registry.h"

#include <stdexcept>

#include "host/GetAddress.h"

namespace standin {

void* Registry::Function(std::string_view name) const {
    const auto found = functions.find(name);
    if (found == functions.end())
        throw std::invalid_argument("GetAddress: unknown game function \"" + std::string(name) +
                                    "\"");
    return found->second;
}

std::ptrdiff_t Registry::FieldOffset(std::string_view name) const {
    const auto found = fields.find(name);
    if (found == fields.end())
        throw std::invalid_argument("GetAddress: unknown game field \"" + std::string(name) + "\"");
    return found->second;
}

bool Registry::HasFunction(std::string_view name) const { return functions.contains(name); }

}  // namespace standin

void* GetAddress(std::string_view name) { return standin::GameRegistry().Function(name); }

void* GetAddress(const void* object, std::string_view name) {
    if (object == nullptr)
        throw std::invalid_argument("GetAddress: field \"" + std::string(name) +
                                    "\" of a null object");
    const auto offset = standin::GameRegistry().FieldOffset(name);
    return const_cast<char*>(static_cast<const char*>(object)) + offset;
}

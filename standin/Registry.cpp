#include "standin/Registry.h"

#include <stdexcept>

#include "host/GetAddress.h"

namespace standin {

void* Registry::Function(std::string_view name) const {
    if (void* const* function = functions.Find(name)) return *function;
    throw std::invalid_argument("GetAddress: unknown game function \"" + std::string(name) + "\"");
}

std::ptrdiff_t Registry::FieldOffset(std::string_view name) const {
    if (const std::ptrdiff_t* offset = fields.Find(name)) return *offset;
    throw std::invalid_argument("GetAddress: unknown game field \"" + std::string(name) + "\"");
}

}  // namespace standin

void* GetAddress(std::string_view name) { return standin::GameRegistry().Function(name); }

void* GetAddress(const void* object, std::string_view name) {
    if (object == nullptr)
        throw std::invalid_argument("GetAddress: field \"" + std::string(name) +
                                    "\" of a null object");
    const auto offset = standin::GameRegistry().FieldOffset(name);
    return const_cast<char*>(static_cast<const char*>(object)) + offset;
}

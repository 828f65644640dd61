#include "standin/Registry.h"

#include <stdexcept>

#include "host/GetAddress.h"
#include "standin/Host.h"

namespace standin {

const Registry::Entry& Registry::Find(std::string_view name) const {
    if (const Entry* entry = functions.Find(name)) return *entry;
    throw std::invalid_argument("GetAddress: unknown game function \"" + std::string(name) + "\"");
}

void* Registry::Function(std::string_view name) const { return Find(name).counted; }

void* Registry::GameOwnFunction(std::string_view name) const { return Find(name).own; }

std::ptrdiff_t Registry::FieldOffset(std::string_view name) const {
    if (const std::ptrdiff_t* offset = fields.Find(name)) return *offset;
    throw std::invalid_argument("GetAddress: unknown game field \"" + std::string(name) + "\"");
}

}  // namespace standin

void* GetAddress(std::string_view name) {
    if (standin::faultLoopRunning && !standin::GameRegistry().IsRelease(name))
        standin::HostFaults().Enter("GetAddress " + std::string(name), __builtin_return_address(0));
    return standin::GameRegistry().Function(name);
}

void* GetAddress(const void* object, std::string_view name) {
    if (standin::faultLoopRunning)
        standin::HostFaults().Enter("GetAddress " + std::string(name), __builtin_return_address(0));
    if (object == nullptr)
        throw std::invalid_argument("GetAddress: field \"" + std::string(name) +
                                    "\" of a null object");
    const auto offset = standin::GameRegistry().FieldOffset(name);
    return const_cast<char*>(static_cast<const char*>(object)) + offset;
}

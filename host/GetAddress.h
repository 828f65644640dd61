// The host's name lookup: game functions and fields by their class-and-member names.
#pragma once

#include <string_view>

// The game function of that name, object first. A name the host does not know raises an error.
void* GetAddress(std::string_view name);

// The address of the named field inside `object`.
void* GetAddress(const void* object, std::string_view name);

// Typed access, looked up at every use: GameFunction<bool(APrimalDinoCharacter*)>("...")(dino).
template <typename Signature>
Signature* GameFunction(std::string_view name) {
    return reinterpret_cast<Signature*>(GetAddress(name));
}

template <typename T>
T& GameField(const void* object, std::string_view name) {
    return *static_cast<T*>(GetAddress(object, name));
}

// Source RCON packets: int32 size, int32 id, int32 type, the body and two NULs, little-endian.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace standin::rcon {

inline constexpr int32_t ResponseValue = 0;
inline constexpr int32_t ExecCommand = 2;
inline constexpr int32_t AuthResponse = 2;
inline constexpr int32_t Auth = 3;
inline constexpr int32_t MinimumSize = 10;  // id, type and the two NULs
inline constexpr int32_t MaximumSize = 4096;

struct Packet {
    int32_t id = 0;
    int32_t type = 0;
    std::string body;
};

struct NeedMore {};
struct Malformed {
    std::string reason;
};

std::string Encode(const Packet& packet);
// Takes one packet off the front of `buffer` when a whole one is there.
std::variant<Packet, NeedMore, Malformed> TakePacket(std::string& buffer);

}  // namespace standin::rcon

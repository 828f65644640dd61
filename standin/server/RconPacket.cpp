#include "standin/server/RconPacket.h"

#include <cstring>

namespace standin::rcon {
namespace {

void AppendInt(std::string& out, int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((bits >> shift) & 0xFF);
}

int32_t ReadInt(const std::string& in, size_t at) {
    uint32_t bits = 0;
    for (size_t i = 4; i-- > 0;) bits = (bits << 8) | static_cast<unsigned char>(in[at + i]);
    return static_cast<int32_t>(bits);
}

}  // namespace

std::string Encode(const Packet& packet) {
    std::string out;
    AppendInt(out, static_cast<int32_t>(packet.body.size()) + MinimumSize);
    AppendInt(out, packet.id);
    AppendInt(out, packet.type);
    out += packet.body;
    out.append(2, '\0');
    return out;
}

std::variant<Packet, NeedMore, Malformed> TakePacket(std::string& buffer) {
    if (buffer.size() < 4) return NeedMore{};
    const int32_t size = ReadInt(buffer, 0);
    if (size < MinimumSize || size > MaximumSize)
        return Malformed{"packet size " + std::to_string(size) + " out of range"};
    if (buffer.size() < 4 + static_cast<size_t>(size)) return NeedMore{};
    const size_t end = 4 + static_cast<size_t>(size);
    if (buffer[end - 1] != '\0' || buffer[end - 2] != '\0')
        return Malformed{"packet does not end with two NULs"};
    Packet packet;
    packet.id = ReadInt(buffer, 4);
    packet.type = ReadInt(buffer, 8);
    packet.body = buffer.substr(12, end - 2 - 12);
    buffer.erase(0, end);
    // A body ends at its first NUL, as in C strings; the rest up to the terminators is padding.
    if (const auto nul = packet.body.find('\0'); nul != std::string::npos) packet.body.resize(nul);
    return packet;
}

}  // namespace standin::rcon

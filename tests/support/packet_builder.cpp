#include "support/packet_builder.h"

#include <cmath>

#include "framing/crc16.h"
#include "framing/hdlc.h"

namespace tessavo::test {

uint64_t StampFromTicks(uint64_t ticks) {
    return ticks << 16;
}

uint64_t TicksFromMs(double ms) {
    return static_cast<uint64_t>(std::llround(ms / 1.25));
}

void PutU8(Bytes& b, uint8_t v) {
    b.push_back(v);
}
void PutU16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void PutU32(Bytes& b, uint32_t v) {
    PutU16(b, static_cast<uint16_t>(v));
    PutU16(b, static_cast<uint16_t>(v >> 16));
}
void PutU64(Bytes& b, uint64_t v) {
    PutU32(b, static_cast<uint32_t>(v));
    PutU32(b, static_cast<uint32_t>(v >> 32));
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes LogPacket(uint16_t logCode, const Bytes& payload, uint64_t ticks) {
    Bytes p = {0x10, 0x00};
    const auto recordLength = static_cast<uint16_t>(12 + payload.size());
    for (uint16_t h : {recordLength, recordLength, logCode}) PutU16(p, h);
    PutU64(p, StampFromTicks(ticks));
    return Concat({p, payload});
}

Bytes CommandPacket(uint8_t command, const Bytes& body) {
    return Concat({{command}, body});
}

Bytes WithCrc(const Bytes& packet) {
    Bytes p = packet;
    PutU16(p, Crc16(packet.data(), packet.size()));
    return p;
}

Bytes Dispatched(const Bytes& packet) {
    return Concat({WithCrc(packet), {kFrameFlag}});
}

// Packet + CRC-16, the CRC's last bit flipped when `corrupt`, escaped and closed by 0x7E.
static Bytes Escaped(const Bytes& packet, bool corrupt) {
    Bytes raw = WithCrc(packet);
    raw.back() ^= corrupt ? 0x01 : 0x00;
    Bytes out(EscapedCapacity(raw.size()));
    int32_t n = 0;
    Escape(raw.data(), raw.size(), out.data(), n);
    out.resize(static_cast<size_t>(n));
    return out;
}

Bytes Frame(const Bytes& packet) {
    return Escaped(packet, false);
}
Bytes FrameBadCrc(const Bytes& packet) {
    return Escaped(packet, true);
}

}  // namespace tessavo::test

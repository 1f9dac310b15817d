#include "support/packet_builder.h"

#include <algorithm>
#include <cmath>

#include "framing/crc16.h"
#include "framing/hdlc.h"

namespace tessavo::test {

uint64_t StampFromTicks(uint64_t ticks) { return ticks << 16; }

uint64_t TicksFromMs(double ms) { return static_cast<uint64_t>(std::llround(ms / 1.25)); }

void PutU8(Bytes& b, uint8_t v) { b.push_back(v); }
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
    Bytes p;
    const auto recordLength = static_cast<uint16_t>(12 + payload.size());
    PutU8(p, 0x10);
    PutU8(p, 0x00);
    PutU16(p, recordLength);
    PutU16(p, recordLength);
    PutU16(p, logCode);
    PutU64(p, StampFromTicks(ticks));
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

Bytes CommandPacket(uint8_t command, const Bytes& body) {
    Bytes p(1 + body.size());
    p[0] = command;
    std::copy(body.begin(), body.end(), p.begin() + 1);
    return p;
}

Bytes WithCrc(const Bytes& packet) {
    Bytes p = packet;
    PutU16(p, Crc16(packet.data(), packet.size()));
    return p;
}

Bytes Dispatched(const Bytes& packet) {
    Bytes p = WithCrc(packet);
    p.push_back(kFrameFlag);
    return p;
}

Bytes Frame(const Bytes& packet) {
    const Bytes raw = WithCrc(packet);
    Bytes out(EscapedCapacity(raw.size()));
    int32_t n = 0;
    Escape(raw.data(), raw.size(), out.data(), n);
    out.resize(static_cast<size_t>(n));
    return out;
}

Bytes FrameBadCrc(const Bytes& packet) {
    Bytes raw = WithCrc(packet);
    raw[raw.size() - 1] ^= 0x01;
    Bytes out(EscapedCapacity(raw.size()));
    int32_t n = 0;
    Escape(raw.data(), raw.size(), out.data(), n);
    out.resize(static_cast<size_t>(n));
    return out;
}

}  // namespace tessavo::test

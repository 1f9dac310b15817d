#include "diag_frame_writer.h"

#include <algorithm>
#include <array>

namespace tessavo::sample {
namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEscape = 0x7D;

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int k = 0; k < 8; ++k) crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0x8408u : crc >> 1;
        table[i] = static_cast<uint16_t>(crc);
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

void AppendEscaped(Bytes& out, const Bytes& raw) {
    for (uint8_t byte : raw) {
        if (byte == kFlag || byte == kEscape) {
            out.push_back(kEscape);
            out.push_back(static_cast<uint8_t>(byte ^ 0x20));
        } else {
            out.push_back(byte);
        }
    }
    out.push_back(kFlag);
}

Bytes WithCrc(const Bytes& packet) {
    Bytes raw = packet;
    PutU16(raw, Crc16X25(packet.data(), packet.size()));
    return raw;
}

}  // namespace

uint16_t Crc16X25(const uint8_t* data, size_t size) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu]);
    }
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

void AppendFrame(Bytes& out, const Bytes& packet) {
    AppendEscaped(out, WithCrc(packet));
}

void AppendDamagedFrame(Bytes& out, const Bytes& packet, size_t flipByte, int flipBit) {
    Bytes raw = WithCrc(packet);
    raw[flipByte % packet.size()] ^= static_cast<uint8_t>(1u << (flipBit & 7));
    AppendEscaped(out, raw);
}

Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    Bytes p;
    const auto recordLength = static_cast<uint16_t>(12 + payload.size());
    PutU8(p, 0x10);
    PutU8(p, 0x00);
    PutU16(p, recordLength);
    PutU16(p, recordLength);
    PutU16(p, logCode);
    PutU64(p, ticks << 16);
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

Bytes CommandPacket(uint8_t command, const Bytes& body) {
    // Sized once: GCC 12 at -O3 misreads an insert behind a one-byte vector as out of bounds.
    Bytes p(1 + body.size());
    p[0] = command;
    std::copy(body.begin(), body.end(), p.begin() + 1);
    return p;
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

}  // namespace tessavo::sample

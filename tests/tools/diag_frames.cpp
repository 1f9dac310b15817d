#include "diag_frames.h"

namespace tessavo::cli::test {
namespace {

void PutU16(Bytes& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value & 0xFF));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutU64(Bytes& out, uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void PutTagged(Bytes& out, uint32_t tag, uint32_t size) {
    PutU32(out, tag);
    PutU32(out, size);
}

}  // namespace

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes out;
    for (uint32_t word : words) PutU32(out, word);
    return out;
}

uint16_t BitwiseCrc16(const Bytes& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ 0x8408)
                                 : static_cast<uint16_t>(crc >> 1);
        }
    }
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

Bytes FrameWithCheck(const Bytes& packet, uint16_t check) {
    Bytes unescaped = packet;
    PutU16(unescaped, check);
    return EscapeAndTerminate(unescaped);
}

Bytes EscapeAndTerminate(const Bytes& packetWithCheck) {
    Bytes frame;
    for (uint8_t byte : packetWithCheck) {
        if (byte == 0x7D || byte == 0x7E) {
            frame.push_back(0x7D);
            frame.push_back(static_cast<uint8_t>(byte ^ 0x20));
        } else {
            frame.push_back(byte);
        }
    }
    frame.push_back(0x7E);
    return frame;
}

Bytes Frame(const Bytes& packet) {
    return FrameWithCheck(packet, BitwiseCrc16(packet));
}

Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    Bytes packet = {0x10, 0x00};
    uint16_t recordLength = static_cast<uint16_t>(12 + payload.size());
    PutU16(packet, recordLength);
    PutU16(packet, recordLength);
    PutU16(packet, logCode);
    PutU64(packet, ticks << 16);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes LogFrame(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    return Frame(LogPacket(logCode, ticks, payload));
}

Bytes CompactPacket(const CompactItem& item) {
    Bytes section;
    if (!item.params.empty()) {
        PutTagged(section, 0xFF0F0010, 4);
        PutU32(section, static_cast<uint32_t>(item.params.size()));
        for (const auto& [id, value] : item.params) {
            PutTagged(section, id, 4);
            PutU32(section, static_cast<uint32_t>(value));
        }
    }
    uint16_t total = static_cast<uint16_t>(80 + section.size());
    Bytes packet = {0x10, 0x00};
    PutU16(packet, total);
    PutU16(packet, total);
    PutU16(packet, 0xFFFE);
    PutU64(packet, item.ticks << 16);
    PutTagged(packet, 0xFF0F0000, 4);
    PutU32(packet, 1);
    PutTagged(packet, 0xFF0F0001, 8);
    PutU32(packet, static_cast<uint32_t>(item.seconds));
    PutU32(packet, static_cast<uint32_t>(item.microseconds));
    PutTagged(packet, 0xFF0F0002, 2);
    PutU16(packet, item.direction);
    PutTagged(packet, 0xFF0F0003, 4);
    PutU32(packet, item.msgCode);
    PutTagged(packet, 0xFF0F0004, 4);
    PutU32(packet, static_cast<uint32_t>(section.size()));
    packet.insert(packet.end(), section.begin(), section.end());
    PutU16(packet, item.check);
    return packet;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace tessavo::cli::test

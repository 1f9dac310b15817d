#include "diag_frames.h"

namespace tessavo::cli::test {
namespace {

void Put(Bytes& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A tagged field of a compact packet: tag, size, value.
void PutTagged(Bytes& out, uint32_t tag, uint32_t size, uint64_t value) {
    Put(out, tag, 4);
    Put(out, size, 4);
    Put(out, value, static_cast<int>(size));
}

}  // namespace

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes out;
    for (uint32_t word : words) Put(out, word, 4);
    return out;
}

uint16_t BitwiseCrc16(const Bytes& bytes) {
    uint16_t crc = 0xFFFF;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0x8408 : crc >> 1);
        }
    }
    return static_cast<uint16_t>(crc ^ 0xFFFF);
}

Bytes FrameWithCheck(const Bytes& packet, uint16_t check) {
    Bytes unescaped = packet;
    Put(unescaped, check, 2);
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
    const auto recordLength = static_cast<uint16_t>(12 + payload.size());
    Put(packet, recordLength, 2);
    Put(packet, recordLength, 2);
    Put(packet, logCode, 2);
    Put(packet, ticks << 16, 8);
    packet.insert(packet.end(), payload.begin(), payload.end());
    return packet;
}

Bytes LogFrame(uint16_t logCode, uint64_t ticks, const Bytes& payload) {
    return Frame(LogPacket(logCode, ticks, payload));
}

Bytes CompactPacket(const CompactItem& item) {
    Bytes section;
    if (!item.params.empty()) {
        PutTagged(section, 0xFF0F0010, 4, item.params.size());
        for (const auto& [id, value] : item.params) {
            PutTagged(section, id, 4, static_cast<uint32_t>(value));
        }
    }
    const auto total = static_cast<uint16_t>(80 + section.size());
    Bytes packet = {0x10, 0x00};
    Put(packet, total, 2);
    Put(packet, total, 2);
    Put(packet, 0xFFFE, 2);
    Put(packet, item.ticks << 16, 8);
    PutTagged(packet, 0xFF0F0000, 4, 1);
    PutTagged(packet, 0xFF0F0001, 8,
              static_cast<uint32_t>(item.seconds) |
                  (uint64_t{static_cast<uint32_t>(item.microseconds)} << 32));
    PutTagged(packet, 0xFF0F0002, 2, item.direction);
    PutTagged(packet, 0xFF0F0003, 4, item.msgCode);
    PutTagged(packet, 0xFF0F0004, 4, section.size());
    packet.insert(packet.end(), section.begin(), section.end());
    Put(packet, item.check, 2);
    return packet;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

}  // namespace tessavo::cli::test

// Builds DIAG packets and frames for tests, field by field.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tessavo::test {

using Bytes = std::vector<uint8_t>;

// Time stamp of a log header: `ticks` units of 1.25 ms in the upper 48 bits.
uint64_t StampFromTicks(uint64_t ticks);
// Ticks for a time since the DIAG epoch, in milliseconds (must be a multiple of 1.25 ms).
uint64_t TicksFromMs(double ms);

// A log packet without check bytes: 0x10, 0x00, outer length, record length, log code,
// 8-byte stamp, payload. Record length = 12 + payload size; outer length the same.
Bytes LogPacket(uint16_t logCode, const Bytes& payload, uint64_t ticks = 0);
// A command response packet without check bytes: the command byte, then `body`.
Bytes CommandPacket(uint8_t command, const Bytes& body);

// The packet followed by its CRC-16 (low byte first).
Bytes WithCrc(const Bytes& packet);
// The packet as decoders see it: packet, CRC-16, 0x7E (unescaped).
Bytes Dispatched(const Bytes& packet);
// A wire frame: packet + CRC-16, escaped, closed by 0x7E.
Bytes Frame(const Bytes& packet);
// Same, but with a corrupted check sequence.
Bytes FrameBadCrc(const Bytes& packet);

// Little-endian appenders for building payloads.
void PutU8(Bytes& b, uint8_t v);
void PutU16(Bytes& b, uint16_t v);
void PutU32(Bytes& b, uint32_t v);
void PutU64(Bytes& b, uint64_t v);
Bytes Concat(std::initializer_list<Bytes> parts);

}  // namespace tessavo::test

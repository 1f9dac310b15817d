// Writes DIAG packets as a handset's diagnostic port sends them: packet, CRC-16/X.25 (low byte
// first), 0x7D/0x7E escaping and the closing 0x7E. Self-contained on purpose: the sample must
// not inherit a framing fault from the library it is meant to exercise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessavo::sample {

using Bytes = std::vector<uint8_t>;

// CRC-16/X.25 of `size` bytes: reflected polynomial 0x8408, initial 0xFFFF, final XOR 0xFFFF.
uint16_t Crc16X25(const uint8_t* data, size_t size);

// Appends the packet, its check bytes and the terminator to `out`, escaped.
void AppendFrame(Bytes& out, const Bytes& packet);
// Same, but one bit of the body flipped after the check bytes were computed, as a line error
// would: the receiver finds a frame whose CRC does not match.
void AppendDamagedFrame(Bytes& out, const Bytes& packet, size_t flipByte, int flipBit);

// A log packet: 0x10, 0x00, outer length, record length (both 12 + payload size), log code,
// 8-byte time stamp (`ticks` of 1.25 ms in the upper 48 bits), payload.
Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload);
// A command response: the command byte followed by its body.
Bytes CommandPacket(uint8_t command, const Bytes& body);

// Little-endian appenders.
void PutU8(Bytes& b, uint8_t v);
void PutU16(Bytes& b, uint16_t v);
void PutU32(Bytes& b, uint32_t v);
void PutU64(Bytes& b, uint64_t v);

}  // namespace tessavo::sample

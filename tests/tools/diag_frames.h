// Builds DIAG frames for the command-line decoder's tests, field by field: log packets,
// command responses and compact (0xFFFE) packets, with their CRC-16, escaping and 0x7E.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

namespace tessavo::cli::test {

using Bytes = std::vector<uint8_t>;

// Little-endian 32-bit words.
Bytes Words(std::initializer_list<uint32_t> words);

// CRC-16/X.25, computed bit by bit (independently of the table-driven one under test).
uint16_t BitwiseCrc16(const Bytes& bytes);

// Frame appends the CRC (low byte first), FrameWithCheck the check bytes given, right or
// wrong; both escape 0x7D and 0x7E and close with 0x7E. EscapeAndTerminate does the last
// two steps to a packet that already ends with its check bytes.
Bytes Frame(const Bytes& packet);
Bytes FrameWithCheck(const Bytes& packet, uint16_t check);
Bytes EscapeAndTerminate(const Bytes& packetWithCheck);

// A log packet: 0x10, 0, outer length, record length, log code, the time stamp (the tick
// count of 1.25 ms in the upper 48 bits of a u64), payload. Not yet framed.
Bytes LogPacket(uint16_t logCode, uint64_t ticks, const Bytes& payload);
Bytes LogFrame(uint16_t logCode, uint64_t ticks, const Bytes& payload);

// A compact packet as the library re-encodes an item: header, the item's time, direction
// and message code, and its fresh scalar parameters; `check` is placed as its check bytes.
struct CompactItem {
    uint64_t ticks;
    int32_t seconds;
    int32_t microseconds;
    uint16_t direction;
    uint32_t msgCode;
    std::vector<std::pair<uint32_t, int32_t>> params;
    uint16_t check;
};
Bytes CompactPacket(const CompactItem& item);  // unescaped, check bytes included

Bytes Concat(std::initializer_list<Bytes> parts);

}  // namespace tessavo::cli::test

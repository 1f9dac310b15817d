// DIAG frames built the way a handset sends them, for input that arrives as packets (DLF
// records) and for the packet the host loop adds at the end of a capture.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tessavo::cli {

// Appends `packet` as a frame: its bytes and its CRC-16/X.25 (low byte first), each 0x7E and
// 0x7D escaped as 0x7D and the byte XOR 0x20, then the closing 0x7E.
void AppendFrame(std::span<const uint8_t> packet, std::vector<uint8_t>& out);

// Appends the log packet of a log record (u16 record length counting itself, u16 log code,
// u64 time stamp, payload): command 0x10, a zero byte and the record length before it.
void AppendLogPacket(std::span<const uint8_t> record, std::vector<uint8_t>& out);

// A log record of `logCode` with time stamp 0 and no payload.
std::vector<uint8_t> EmptyLogRecord(uint16_t logCode);

}  // namespace tessavo::cli

// Building and opening single DIAG frames, for the tools that talk to a handset (the capture
// tool's requests, the simulator's replies): a packet, its CRC-16/X.25 low byte first, 0x7D
// and 0x7E escaped as 0x7D followed by the byte XOR 0x20, one closing 0x7E.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tessavo::cli {

// Appends the frame of `packet` to `out`.
void AppendHdlcFrame(std::span<const uint8_t> packet, std::vector<uint8_t>& out);
std::vector<uint8_t> HdlcFrame(std::span<const uint8_t> packet);

// The packet inside `frame` (escaped, with or without its closing 0x7E), without its check
// bytes; nothing when the check bytes do not verify or the frame is too short to hold them.
std::optional<std::vector<uint8_t>> OpenHdlcFrame(std::span<const uint8_t> frame);

}  // namespace tessavo::cli

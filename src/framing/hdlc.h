// HDLC-like byte stuffing of DIAG frames: 0x7E closes a frame, 0x7D escapes 0x7D and 0x7E.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr uint8_t kFrameFlag = 0x7E;
inline constexpr uint8_t kEscape = 0x7D;
inline constexpr uint8_t kEscapeXor = 0x20;
inline constexpr int32_t kUnescapeCapacity = 7168;

// Removes the escaping of `in` into `dst` (kUnescapeCapacity bytes) from `length` onward and
// advances `length`. Stops after storing a 0x7E, which is kept and counted. A lone or
// trailing 0x7D is stored as it is. When `length` reaches the capacity it wraps to 0, so
// further bytes overwrite the start of `dst`: the buffer is never overrun.
void Unescape(const uint8_t* in, size_t inLength, uint8_t* dst, int32_t& length);

// Escapes `src` into `dst` and appends 0x7E; `length` ends as the frame length. `dst` must
// hold 2 * srcLength + 1 bytes.
void Escape(const uint8_t* src, size_t srcLength, uint8_t* dst, int32_t& length);

// Upper bound of an escaped frame for a source of `n` bytes.
constexpr size_t EscapedCapacity(size_t n) { return 2 * n + 1; }

}  // namespace tessavo

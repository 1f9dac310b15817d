// A fuzz input seen as frames: its control bytes and the packets of its 0x7E-terminated frames,
// unescaped and without check bytes, framed again with a good check sequence when written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/packet_builder.h"

namespace tessavo::fuzz {

// Log packet layout: command 0x10, a byte, outer and record lengths, log code, time stamp.
inline constexpr size_t kLogHeader = 16;
inline constexpr size_t kLogCodeAt = 6;
inline constexpr uint8_t kLogCommand = 0x10;

struct FrameStream {
    test::Bytes controls;
    std::vector<test::Bytes> packets;
};

// Bytes after the last 0x7E make a last frame of their own.
FrameStream ReadFrameStream(const uint8_t* data, size_t size);
// Returns the size written; frames that would pass `maxSize` are left out.
size_t WriteFrameStream(const FrameStream& in, uint8_t* out, size_t maxSize);

bool IsLog(const test::Bytes& p);
void PutU16At(test::Bytes& p, size_t at, uint16_t v);

}  // namespace tessavo::fuzz

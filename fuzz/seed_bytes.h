// What the generated seeds share: their pseudo-random bytes, and the frame they start with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/packet_builder.h"

namespace tessavo::fuzz {

// Bytes of a linear congruential sequence, the same on every machine. With `small`, seven in
// eight are below 8: counts, sizes and masks read from them then describe records that fit in
// the payload, so that counted groups and lists are walked, not refused at once.
inline test::Bytes SeedBytes(uint32_t& state, size_t n, bool small = false) {
    test::Bytes out;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        const auto b = static_cast<uint8_t>(state >> 24);
        out.push_back(small && (state & 0x700) != 0 ? b & 7 : b);
    }
    return out;
}

// The frame every seed stream starts with: a log packet of a code no decoder takes, which sets
// the first DIAG time (command responses are refused before it is known).
inline test::Bytes LeadingFrame() {
    return test::Frame(test::LogPacket(0x1000, {1, 2, 3, 4}, 800));
}

}  // namespace tessavo::fuzz

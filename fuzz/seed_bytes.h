// The pseudo-random bytes of the generated seeds: a linear congruential sequence, the same on
// every machine. With `small`, seven bytes in eight are below 8: counts, sizes and masks read
// from them then describe records that fit in the payload, so that counted groups and lists are
// walked, not refused at once.
#pragma once

#include <cstddef>
#include <cstdint>

#include "support/packet_builder.h"

namespace tessavo::fuzz {

inline test::Bytes SeedBytes(uint32_t& state, size_t n, bool small = false) {
    test::Bytes out;
    for (size_t i = 0; i < n; ++i) {
        state = state * 1664525u + 1013904223u;
        const auto b = static_cast<uint8_t>(state >> 24);
        out.push_back(small && (state & 0x700) != 0 ? b & 7 : b);
    }
    return out;
}

}  // namespace tessavo::fuzz

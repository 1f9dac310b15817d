// CRC-16/X.25, the frame check sequence of DIAG frames (stored low byte first).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr uint16_t kCrcInit = 0xFFFF;
// Register value after running over a packet followed by its own (correct) check bytes.
inline constexpr uint16_t kCrcGoodResidue = 0xF0B8;

inline constexpr std::array<uint16_t, 256> kCrcTable = [] {
    std::array<uint16_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x8408u : c >> 1;
        t[i] = static_cast<uint16_t>(c);
    }
    return t;
}();

constexpr uint16_t CrcUpdate(uint16_t crc, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFFu]);
    }
    return crc;
}

// The check value stored behind a packet.
constexpr uint16_t Crc16(const uint8_t* data, size_t n) {
    return static_cast<uint16_t>(CrcUpdate(kCrcInit, data, n) ^ 0xFFFFu);
}

// 1 when `n` bytes (packet plus its two check bytes, no terminator) leave the good residue.
// A packet too short to hold a check sequence is bad.
constexpr int VerifyCrc16(const uint8_t* data, size_t n) {
    if (n < 2) return 0;
    return CrcUpdate(kCrcInit, data, n) == kCrcGoodResidue ? 1 : 0;
}

namespace detail {
inline constexpr uint8_t kCheckInput[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
}
static_assert(Crc16(detail::kCheckInput, 9) == 0x906E, "CRC-16/X.25 check value");

}  // namespace tessavo

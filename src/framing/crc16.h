// CRC-16/X.25, the frame check sequence of DIAG frames (stored low byte first).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr uint16_t kCrcInit = 0xFFFF;
// Register value after running over a packet followed by its own (correct) check bytes.
inline constexpr uint16_t kCrcGoodResidue = 0xF0B8;

// kCrcTables[k][b]: the register change of byte b followed by k zero bytes, so that eight
// bytes are taken with eight independent look-ups (kCrcTables[0] is the byte-wise table).
inline constexpr std::array<std::array<uint16_t, 256>, 8> kCrcTables = [] {
    std::array<std::array<uint16_t, 256>, 8> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x8408u : c >> 1;
        t[0][i] = static_cast<uint16_t>(c);
    }
    for (size_t k = 1; k < t.size(); ++k) {
        for (size_t i = 0; i < 256; ++i) {
            t[k][i] = static_cast<uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFFu]);
        }
    }
    return t;
}();

constexpr uint16_t CrcUpdateBytewise(uint16_t crc, const uint8_t* data, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTables[0][(crc ^ data[i]) & 0xFFu]);
    }
    return crc;
}

constexpr uint16_t CrcUpdate(uint16_t crc, const uint8_t* data, size_t n) {
    const auto& t = kCrcTables;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t v = crc;
        for (size_t k = 0; k < 8; ++k) v ^= uint64_t{data[i + k]} << (8 * k);
        crc =
            static_cast<uint16_t>(t[7][v & 0xFF] ^ t[6][(v >> 8) & 0xFF] ^ t[5][(v >> 16) & 0xFF] ^
                                  t[4][(v >> 24) & 0xFF] ^ t[3][(v >> 32) & 0xFF] ^
                                  t[2][(v >> 40) & 0xFF] ^ t[1][(v >> 48) & 0xFF] ^ t[0][v >> 56]);
    }
    return CrcUpdateBytewise(crc, data + i, n - i);
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
namespace detail {
inline constexpr uint8_t kSliceInput[] = {0x10, 0x00, 0x7E, 0x7D, 0xFF, 0x01, 0x80, 0x5A,
                                          0xA5, 0x33, 0xC3, 0x3C, 0x00, 0xFE, 0x12, 0x34,
                                          0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x0F};
}
static_assert(CrcUpdate(kCrcInit, detail::kSliceInput, sizeof detail::kSliceInput) ==
                  CrcUpdateBytewise(kCrcInit, detail::kSliceInput, sizeof detail::kSliceInput),
              "eight bytes at a time give the byte-wise register");

}  // namespace tessavo

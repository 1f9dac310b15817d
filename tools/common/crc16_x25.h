// CRC-16/X.25 of DIAG frames (reflected 0x8408, initial 0xFFFF, final XOR 0xFFFF): 0x906E for
// "123456789". A packet with its two check bytes leaves the register at the residue 0xF0B8.
#pragma once

#include <cstdint>
#include <span>

namespace tessavo::cli {

inline constexpr uint16_t kCrcGoodResidue = 0xF0B8;

// The CRC register after `bytes`, starting from `crc` (no final XOR), so that a packet in
// pieces gives the register of the whole.
uint16_t CrcRegister(std::span<const uint8_t> bytes, uint16_t crc = 0xFFFF);

}  // namespace tessavo::cli

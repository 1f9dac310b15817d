#include "crc16_x25.h"

#include <array>
#include <cstddef>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TESSAVO_CRC_CARRYLESS 1
#endif

namespace tessavo::cli {
namespace {

constexpr uint16_t kReflectedPoly = 0x8408;

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? static_cast<uint16_t>((crc >> 1) ^ kReflectedPoly)
                                 : static_cast<uint16_t>(crc >> 1);
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

constexpr uint16_t CrcStep(uint16_t crc, uint8_t byte) {
    return static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ byte) & 0xFF]);
}

// Slice k: the register change of a byte followed by k zero bytes, so that eight bytes take
// eight independent look-ups.
constexpr std::array<std::array<uint16_t, 256>, 8> MakeCrcSlices() {
    std::array<std::array<uint16_t, 256>, 8> slices{};
    slices[0] = kCrcTable;
    for (size_t k = 1; k < slices.size(); ++k) {
        for (size_t i = 0; i < 256; ++i) slices[k][i] = CrcStep(slices[k - 1][i], 0);
    }
    return slices;
}

constexpr std::array<std::array<uint16_t, 256>, 8> kCrcSlices = MakeCrcSlices();

constexpr uint16_t TableCrcRegister(std::span<const uint8_t> bytes, uint16_t crc) {
    size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        const auto* b = bytes.data() + i;
        const uint16_t x = static_cast<uint16_t>(crc ^ (b[0] | b[1] << 8));
        crc =
            static_cast<uint16_t>(kCrcSlices[7][x & 0xFF] ^ kCrcSlices[6][x >> 8] ^
                                  kCrcSlices[5][b[2]] ^ kCrcSlices[4][b[3]] ^ kCrcSlices[3][b[4]] ^
                                  kCrcSlices[2][b[5]] ^ kCrcSlices[1][b[6]] ^ kCrcSlices[0][b[7]]);
    }
    for (; i < bytes.size(); ++i) crc = CrcStep(crc, bytes[i]);
    return crc;
}

constexpr uint8_t kCheckDigits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
static_assert((TableCrcRegister(kCheckDigits, 0xFFFF) ^ 0xFFFF) == 0x906E);
// The eight-byte steps agree with the byte steps at every split of the digits.
constexpr bool SlicesAgree() {
    uint16_t bytewise = 0xFFFF;
    for (uint8_t byte : kCheckDigits) bytewise = CrcStep(bytewise, byte);
    for (size_t split = 0; split <= std::size(kCheckDigits); ++split) {
        const std::span<const uint8_t> all(kCheckDigits);
        if (TableCrcRegister(all.subspan(split), TableCrcRegister(all.first(split), 0xFFFF)) !=
            bytewise)
            return false;
    }
    return true;
}
static_assert(SlicesAgree());

#ifdef TESSAVO_CRC_CARRYLESS
// Sixteen bytes at a time by carry-less multiplication. In the register's reflected order a
// 16-byte block is a polynomial whose x^127 is bit 0 of its first byte; the register after a
// message is the message times x^16 modulo P = x^16 + x^12 + x^5 + 1. A block A followed by a
// block B is A x^128 + B, and A x^128 = A_high x^192 + A_low x^128 (A_high: its first eight
// bytes) is congruent modulo P to A_high (x^192 mod P) + A_low (x^128 mod P), a polynomial of
// fewer than 80 bits. Folding block after block keeps a 16-byte value congruent to all bytes so
// far; its register is then taken eight bytes a step. A product of two reflected 64-bit values
// read in the block's order is one power of x too high, hence the constants carry one x less.
constexpr uint32_t XPowerModP(unsigned power) {
    uint32_t remainder = 1;
    for (unsigned i = 0; i < power; ++i) {
        remainder <<= 1;
        if ((remainder & 0x10000) != 0) remainder ^= 0x11021;
    }
    return remainder;
}

// A polynomial of degree below 64 in reflected order: x^k at bit 63 - k.
constexpr uint64_t Reflect64(uint64_t polynomial) {
    uint64_t reflected = 0;
    for (int k = 0; k < 64; ++k) {
        if (((polynomial >> k) & 1) != 0) reflected |= uint64_t{1} << (63 - k);
    }
    return reflected;
}

constexpr uint64_t kFoldHigh = Reflect64(XPowerModP(192 - 1));
constexpr uint64_t kFoldLow = Reflect64(XPowerModP(128 - 1));
constexpr size_t kBlock = 16;
// The carry-less steps start from two whole blocks; shorter input goes eight bytes a step.
constexpr size_t kCarrylessFrom = 2 * kBlock;

// The 16-byte value congruent to `folded` followed by `next`.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i folded, __m128i next) {
    const __m128i constants =
        _mm_set_epi64x(static_cast<long long>(kFoldLow), static_cast<long long>(kFoldHigh));
    const __m128i high = _mm_clmulepi64_si128(folded, constants, 0x00);
    const __m128i low = _mm_clmulepi64_si128(folded, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

// Zero bytes ahead of a message leave a register of 0 at 0, so the message is taken as if
// it began with enough of them to make whole blocks: no piece is left over at the end.
__attribute__((target("pclmul,sse2"))) uint16_t CarrylessCrcRegister(
    std::span<const uint8_t> bytes, uint16_t crc) {
    const size_t pad = (kBlock - bytes.size() % kBlock) % kBlock;
    // The first two blocks: `pad` zero bytes, then the message's first bytes, the register
    // XORed into the first two of them (as it enters the byte steps).
    alignas(16) uint8_t start[2 * kBlock] = {};
    std::memcpy(start + pad, bytes.data(), sizeof start - pad);
    start[pad] ^= static_cast<uint8_t>(crc & 0xFF);
    start[pad + 1] ^= static_cast<uint8_t>(crc >> 8);
    __m128i folded = Fold(_mm_load_si128(reinterpret_cast<const __m128i*>(start)),
                          _mm_load_si128(reinterpret_cast<const __m128i*>(start + kBlock)));
    for (size_t at = sizeof start - pad; at < bytes.size(); at += kBlock) {
        folded = Fold(folded, _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + at)));
    }
    alignas(16) uint8_t block[kBlock];
    _mm_store_si128(reinterpret_cast<__m128i*>(block), folded);
    return TableCrcRegister(block, 0);
}

bool HasCarryless() {
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return has;
}
#endif

}  // namespace

uint16_t CrcRegister(std::span<const uint8_t> bytes, uint16_t crc) {
#ifdef TESSAVO_CRC_CARRYLESS
    if (bytes.size() >= kCarrylessFrom && HasCarryless()) return CarrylessCrcRegister(bytes, crc);
#endif
    return TableCrcRegister(bytes, crc);
}

}  // namespace tessavo::cli

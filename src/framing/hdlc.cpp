#include "framing/hdlc.h"

#include <bit>
#include <cstring>

namespace tessavo {

namespace {

constexpr uint64_t kEveryByte = 0x0101010101010101u;

// The high bit of each byte of `w` that is 0x7D or 0x7E set, and maybe of bytes after the first
// such byte: a byte equal to the value XORs to zero, a zero byte is the only one whose
// decrement borrows into a clear high bit, and a borrow only reaches the bytes above it.
constexpr uint64_t FlagsAndEscapes(uint64_t w) {
    const uint64_t e = w ^ (kEscape * kEveryByte);
    const uint64_t f = w ^ (kFrameFlag * kEveryByte);
    return (((e - kEveryByte) & ~e) | ((f - kEveryByte) & ~f)) & (kEveryByte << 7);
}
static_assert(FlagsAndEscapes(0x7F7C5D5E00FF1120u) == 0 &&
              FlagsAndEscapes(0x7D00000000000000u) == uint64_t{0x80} << 56 &&
              FlagsAndEscapes(0x0000000000007E00u) == 0x8000u);

// How many bytes of the eight in `w` (in memory order) come before the first 0x7D or 0x7E.
constexpr size_t PlainBytes(uint64_t w) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<size_t>(std::countr_zero(FlagsAndEscapes(w))) / 8;
    } else {
        return FlagsAndEscapes(w) == 0 ? sizeof w : 0;
    }
}

// The common case: the output cannot reach the capacity, so no wrap is checked per byte. The
// bytes before the next 0x7D or 0x7E are copied eight at a time.
void UnescapeWithin(const uint8_t* in, size_t inLength, uint8_t* dst, int32_t& length) {
    uint8_t* out = dst + length;
    size_t i = 0;
    while (i < inLength) {
        // Each input byte gives at most one output byte, so the eight stored fit.
        for (uint64_t w = 0; inLength - i >= sizeof w;) {
            std::memcpy(&w, in + i, sizeof w);
            std::memcpy(out, &w, sizeof w);
            const size_t plain = PlainBytes(w);
            i += plain;
            out += plain;
            if (plain < sizeof w) break;
        }
        if (i == inLength) break;
        const uint8_t b = in[i++];
        if (b == kFrameFlag) {
            *out++ = b;
            break;
        }
        if (b == kEscape && i < inLength && (in[i] == 0x5D || in[i] == 0x5E)) {
            *out++ = static_cast<uint8_t>(in[i++] ^ kEscapeXor);
            continue;
        }
        *out++ = b;
    }
    length = static_cast<int32_t>(out - dst);
}

}  // namespace

void Unescape(const uint8_t* in, size_t inLength, uint8_t* dst, int32_t& length) {
    if (length < 0 || length >= kUnescapeCapacity) length = 0;
    if (inLength < static_cast<size_t>(kUnescapeCapacity - length)) {
        UnescapeWithin(in, inLength, dst, length);
        return;
    }
    auto store = [&](uint8_t b) {
        dst[length] = b;
        if (++length >= kUnescapeCapacity) length = 0;
    };
    for (size_t i = 0; i < inLength; ++i) {
        const uint8_t b = in[i];
        if (b == kFrameFlag) {
            store(b);
            return;
        }
        if (b == kEscape && i + 1 < inLength && (in[i + 1] == 0x5D || in[i + 1] == 0x5E)) {
            store(static_cast<uint8_t>(in[i + 1] ^ kEscapeXor));
            ++i;
            continue;
        }
        store(b);
    }
}

void Escape(const uint8_t* src, size_t srcLength, uint8_t* dst, int32_t& length) {
    size_t n = 0;
    for (size_t i = 0; i < srcLength; ++i) {
        const uint8_t b = src[i];
        if (b == kEscape || b == kFrameFlag) {
            dst[n++] = kEscape;
            dst[n++] = static_cast<uint8_t>(b ^ kEscapeXor);
        } else {
            dst[n++] = b;
        }
    }
    dst[n++] = kFrameFlag;
    length = static_cast<int32_t>(n);
}

}  // namespace tessavo

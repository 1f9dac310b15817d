#include "framing/hdlc.h"

namespace tessavo {

namespace {

// The common case: the output cannot reach the capacity, so no wrap is checked per byte.
void UnescapeWithin(const uint8_t* in, size_t inLength, uint8_t* dst, int32_t& length) {
    uint8_t* out = dst + length;
    for (size_t i = 0; i < inLength; ++i) {
        const uint8_t b = in[i];
        if (b == kFrameFlag) {
            *out++ = b;
            break;
        }
        if (b == kEscape && i + 1 < inLength && (in[i + 1] == 0x5D || in[i + 1] == 0x5E)) {
            *out++ = static_cast<uint8_t>(in[++i] ^ kEscapeXor);
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

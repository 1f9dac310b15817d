#include "bits/conversions.h"

#include <algorithm>
#include <limits>

#include "bits/portable_math.h"

namespace tessavo {

namespace {

// -24.6 as the single-precision constant it is defined as (-24.600000381469727 widened).
constexpr double kLogFloor = static_cast<double>(-24.6f);

}  // namespace

int32_t TruncToI32(double v) {
    // Both bounds are exact doubles; the comparison is false for NaN.
    if (!(v > -2147483649.0 && v < 2147483648.0)) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

int32_t Scale1000(double v) {
    return TruncToI32(v * 1000.0);
}
int32_t Scale1000(float v) {
    return TruncToI32(v * 1000.0f);
}
int32_t Scale100Round(double v) {
    return TruncToI32(v * 100.0 + 0.5);
}
int32_t Scale100Round(float v) {
    return TruncToI32(v * 100.0f + 0.5f);
}

double ConvertRxAgc(int32_t v) {
    if (v < 128) return (v + 256) / 3.0 - 148.581;
    return v / 3.0 - 148.581;
}

double ConvertNegHalf(int16_t x) {
    return -x / 2.0;
}

double ConvertTxThird(int32_t x) {
    return x / 3.0 - 52.25;
}

double ConvertLog255(uint16_t x) {
    if (x == 0) return kLogFloor;
    return 10.0 * Log10(static_cast<double>(std::min<uint16_t>(x, 255))) - 24.6;
}

double ConvertLog48(uint16_t x) {
    if (x == 0) return kLogFloor;
    return 10.0 * Log10(static_cast<double>(x)) - 48.7;
}

double ConvertLog512(int32_t x) {
    if (x < 1) return -9999.0;
    return 10.0 * Log10(x / 512.0);
}

float ConvertSinrShare(float x) {
    float y = static_cast<float>(Exp10(static_cast<double>(x / 10.0f)));
    if (y != 0.0f) y = 1.0f / y;
    if (y + 1.0f != 0.0f) {
        const float share = 1.0f / (y + 1.0f);
        y = static_cast<float>(10.0 * Log10(static_cast<double>(share)));
    }
    return y;
}

int32_t DecodeMcc(uint16_t v) {
    const int32_t u = v % 10;
    const int32_t t = (v / 10) % 10;
    const int32_t h = (v / 100) % 10;
    bool borrow = false;
    int32_t tens = 0;
    // A units digit of 0 was sent as 10 and carried into the tens; undo the carry.
    if (t == 1) {
        borrow = (u == 0);
        tens = (u == 0) ? 0 : 1;
    } else if (t == 0) {
        // A tens digit of 0 was sent as 10 and carried into the hundreds.
        borrow = true;
        tens = (u == 0) ? 9 : 0;
    } else {
        tens = (u == 0) ? t - 1 : t;
    }
    int32_t hundreds = 0;
    if (v < 1000) {
        hundreds = borrow ? h - 1 : h;
    } else {
        hundreds = (h != 0) ? 0 : (borrow ? 9 : 0);
    }
    return hundreds * 100 + tens * 10 + u;
}

uint8_t DecodeMnc(uint8_t v) {
    const int u = v % 10;
    const int t = (v / 10) % 10;
    if (t == 1) return static_cast<uint8_t>(u == 0 ? u : 10 + u);
    if (t == 0) return static_cast<uint8_t>(u == 0 ? 90 + u : u);
    return static_cast<uint8_t>(u == 0 ? (t - 1) * 10 + u : t * 10 + u);
}

uint32_t DecodeThreeDigits(uint32_t e) {
    uint32_t v = e + 111u;
    for (uint32_t p = 1; p <= 100; p *= 10) {
        const uint32_t q = p * 10;
        // A 0 digit in the place of p was sent as 10: take the carry back out.
        if ((v / p) * p % q == 0) v -= q;
    }
    return v;
}

uint64_t DecodeImsiS(uint64_t imsiS) {
    const uint64_t a = DecodeThreeDigits(static_cast<uint32_t>((imsiS >> 24) & 0x3FF));
    const uint64_t b = DecodeThreeDigits(static_cast<uint32_t>((imsiS >> 14) & 0x3FF));
    uint64_t d = (imsiS >> 10) & 0xF;
    if (d >= 10) d -= 10;
    const uint64_t e = DecodeThreeDigits(static_cast<uint32_t>(imsiS & 0x3FF));
    return a * 10000000u + b * 10000u + d * 1000u + e;
}

int32_t DrcIndexToRate(int8_t index) {
    switch (index) {
        case 1:
            return 38400;
        case 2:
            return 76800;
        case 3:
            return 153600;
        case 4:
        case 5:
            return 307200;
        case 6:
        case 7:
            return 614400;
        case 8:
            return 921600;
        case 9:
        case 10:
            return 1228800;
        case 11:
            return 1843200;
        case 12:
            return 2457600;
        case 13:
            return 1536000;
        case 14:
            return 3072000;
        default:
            return 0;
    }
}

int32_t PacketSizeIndexToBits(int32_t index) {
    static constexpr int32_t kBits[] = {128,  256,  512,  768,  1024, 1536,
                                        2048, 3072, 4096, 6144, 8192, 12288};
    if (index < 1 || index > 12) return 0;
    return kBits[index - 1];
}

int32_t MapCodePair(uint8_t a, uint8_t b) {
    switch (a) {
        case 1:
            return 0;
        case 2:
            if (b == 0) return 2;
            if (b == 2) return 1;
            break;
        case 3:
            if (b == 0) return 2;
            if (b == 2) return 3;
            if (b == 3) return 4;
            break;
        case 4:
            return 5;
        case 5:
            return 6;
        case 6:
            return 7;
        default:
            break;
    }
    return -9999;
}

uint16_t SwapBytes16(uint16_t v) {
    return static_cast<uint16_t>((v >> 8) | (v << 8));
}

uint32_t SwapBytes32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0x0000FF00u) | ((v << 8) & 0x00FF0000u) | (v << 24);
}

int32_t MinInt(int32_t a, int32_t b) {
    return a < b ? a : b;
}
int32_t MaxInt(int32_t a, int32_t b) {
    return a > b ? a : b;
}
float MinFloat(float a, float b) {
    return a >= b ? b : a;
}
float MaxFloat(float a, float b) {
    return a <= b ? b : a;
}

}  // namespace tessavo

#include "dtlog/dtlog_number.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "bits/conversions.h"

namespace tessavo {

float NarrowToFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (std::isnan(v)) return std::numeric_limits<float>::quiet_NaN();
    // Values up to half a unit above the largest float still round down to it.
    constexpr double kHalfUlp = 0x1p103;
    if (v >= kMax + kHalfUlp) return std::numeric_limits<float>::infinity();
    if (v <= -(kMax + kHalfUlp)) return -std::numeric_limits<float>::infinity();
    if (v > kMax) return std::numeric_limits<float>::max();
    if (v < -kMax) return -std::numeric_limits<float>::max();
    return static_cast<float>(v);
}

DtLogNumber FormatDtLogNumber(float value, DtLogStyle style) {
    DtLogNumber out;
    char* const first = out.buf_.data();
    char* const last = first + out.buf_.size();
    std::to_chars_result r{first, std::errc{}};
    switch (style) {
        case DtLogStyle::kDecimal:
            r = std::to_chars(first, last, TruncToI32(value));
            break;
        case DtLogStyle::kHex: {
            const auto bits = static_cast<uint32_t>(TruncToI32(value));
            r = std::to_chars(first, last, bits, 16);
            if (r.ptr == first + 1) {  // one digit gets a leading zero
                first[1] = first[0];
                first[0] = '0';
                ++r.ptr;
            }
            break;
        }
        case DtLogStyle::kFixed:
            // Exactly what "%0.2f" prints in the "C" locale, whatever locale the host has set.
            r = std::to_chars(first, last, static_cast<double>(value), std::chars_format::fixed, 2);
            break;
    }
    out.size_ = r.ec == std::errc{} ? static_cast<size_t>(r.ptr - first) : 0;
    return out;
}

}  // namespace tessavo

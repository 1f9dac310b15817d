#include "decoders/cdma1x/ota_fields.h"

#include <limits>

namespace tessavo {
namespace {

constexpr uint8_t kOrderWithQualifier = 21;

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int64_t DecimalPrefix(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude in unsigned arithmetic; the limit of a negative number is one
    // larger than that of a positive one.
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    bool saturated = false;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (saturated || magnitude > (limit - digit) / 10) {
            saturated = true;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (saturated) {
        return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
    }
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

int32_t ReadOrder21Qualifier(FieldTemps& fields) {
    if (fields.Msb<uint8_t>(6) != kOrderWithQualifier) return -9999;
    if (fields.Msb<uint8_t>(3) == 0) return 0;  // ADD_RECORD_LEN
    return fields.Msb<uint8_t>(8);
}

}  // namespace tessavo

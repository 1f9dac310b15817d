#include "text_format.h"

#include <charconv>

namespace tessavo::cli {

std::string HexNumber(uint32_t value, int digits) {
    char text[16];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value, 16);
    std::string_view hex(text, static_cast<size_t>(end - text));
    std::string result = "0x";
    for (int i = static_cast<int>(hex.size()); i < digits; ++i) result += '0';
    result += hex;
    return result;
}

std::string HexBytes(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string result;
    result.reserve(bytes.size() * 2);
    for (uint8_t byte : bytes) {
        result += kDigits[byte >> 4];
        result += kDigits[byte & 0x0F];
    }
    return result;
}

std::string ScaledValueText(int32_t raw, int32_t scale) {
    int decimals = 0;
    switch (scale) {
        case 1:
            decimals = 0;
            break;
        case 10:
            decimals = 1;
            break;
        case 100:
            decimals = 2;
            break;
        case 1000:
            decimals = 3;
            break;
        default: {
            char text[64];
            double value = scale == 0 ? static_cast<double>(raw) : double(raw) / double(scale);
            auto [end, ec] = std::to_chars(text, text + sizeof text, value);
            return std::string(text, end);
        }
    }
    // Work in 64 bits so that INT32_MIN has a magnitude.
    int64_t value = raw;
    bool negative = value < 0;
    uint64_t magnitude = negative ? uint64_t(-value) : uint64_t(value);
    uint64_t divisor = uint64_t(scale);
    uint64_t whole = magnitude / divisor;
    uint64_t fraction = magnitude % divisor;
    std::string result = negative ? "-" : "";
    char text[32];
    auto [end, ec] = std::to_chars(text, text + sizeof text, whole);
    result.append(text, end);
    if (fraction != 0) {
        std::string digits(static_cast<size_t>(decimals), '0');
        for (int i = decimals - 1; i >= 0; --i) {
            digits[static_cast<size_t>(i)] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        while (!digits.empty() && digits.back() == '0') digits.pop_back();
        result += '.';
        result += digits;
    }
    return result;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string result = "\"";
    for (char c : text) {
        if (c == '"') result += '"';
        result += c;
    }
    result += '"';
    return result;
}

}  // namespace tessavo::cli

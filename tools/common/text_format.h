// Small text helpers shared by the output formats. Every number is written in the "C"
// locale whatever the host's locale is.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tessavo::cli {

// "0x7f018328": IDs, message codes and log codes in lower-case hex, zero-padded to `digits`.
std::string HexNumber(uint32_t value, int digits);

// Bytes as two lower-case hex digits each, no separators.
std::string HexBytes(std::span<const uint8_t> bytes);

// A stored parameter value divided by its scale, written exactly: -85500 with scale 1000
// is "-85.5", 12345 with scale 100 is "123.45", 7 with scale 1 is "7". A scale other than
// 1, 10, 100, 1000 falls back to the raw value divided as a double.
std::string ScaledValueText(int32_t raw, int32_t scale);

// One CSV field: quoted (with doubled quotes) when it holds a comma, quote or line break.
std::string CsvField(std::string_view text);

}  // namespace tessavo::cli

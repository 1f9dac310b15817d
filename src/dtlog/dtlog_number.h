// Number styles of the DTLog text. Every value reaches the text as a 32-bit float, so integers
// beyond 2^24 in magnitude print rounded. The text never depends on the host's locale.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessavo {

enum class DtLogStyle : uint8_t {
    kDecimal,  // the value truncated to a signed 32-bit integer, in decimal
    kHex,      // the same truncation, its 32 bits in lower-case hex, at least two digits
    kFixed,    // two decimals, rounded from the exact value of the float
};

// Formatted text of one number; a float's fixed form is at most 39 digits, sign and ".00".
class DtLogNumber {
  public:
    std::string_view View() const { return {buf_.data(), size_}; }

  private:
    friend DtLogNumber FormatDtLogNumber(float value, DtLogStyle style);
    std::array<char, 48> buf_{};
    size_t size_ = 0;
};

DtLogNumber FormatDtLogNumber(float value, DtLogStyle style);

// A double narrowed to the float every DTLog value passes through. Values beyond the float
// range become infinities of their sign (the conversion itself would be undefined there).
float NarrowToFloat(double v);

}  // namespace tessavo

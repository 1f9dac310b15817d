// Pieces shared by the over-the-air signalling decoders (log codes 0x1004 to 0x1008).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "bits/bit_reader.h"
#include "bits/packet_view.h"

namespace tessavo {

// The leading decimal number of a dialled or calling-party number text, as the C library's
// decimal conversion reads it in the "C" locale: leading white space, an optional sign, then
// digits up to the first other character. Saturates at the int64 limits; no digit gives 0.
int64_t DecimalPrefix(std::string_view text);

// A dialled or calling-party number as its characters arrive: at most 255 of them (an 8-bit
// count), kept in place so that no packet allocates.
class DigitText {
  public:
    void Push(char c) {
        if (size_ < chars_.size()) chars_[size_++] = c;
    }
    std::string_view View() const { return {chars_.data(), size_}; }

  private:
    std::array<char, 255> chars_{};
    size_t size_ = 0;
};

// The high and low 32 bits of a 64-bit number, as two parameters carry it.
inline int32_t High32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint64_t>(v) >> 32);
}
inline int32_t Low32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint64_t>(v));
}

// The order message's qualifier: ORDER (6 bits); for order 21 ADD_RECORD_LEN (3 bits) and,
// when that is not 0, ORDQ (8 bits). Returns ORDQ, 0 without a record, -9999 for other orders.
// The reader stands behind the message header.
int32_t ReadOrder21Qualifier(FieldTemps& fields);

}  // namespace tessavo

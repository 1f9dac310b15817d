#include "support/bit_writer.h"

#include <stdexcept>

namespace tessavo::test {

void BitWriter::PutBit(bool bit, bool fromMsb) {
    const int within = static_cast<int>(bitCount_ % 8);
    if (within == 0) bytes_.push_back(0);
    if (bit) {
        const int shift = fromMsb ? 7 - within : within;
        bytes_.back() = static_cast<uint8_t>(bytes_.back() | (1u << shift));
    }
    ++bitCount_;
}

BitWriter& BitWriter::Msb(uint64_t value, int bits) {
    if (bits < 0 || bits > 64) throw std::invalid_argument("BitWriter::Msb width");
    for (int i = bits - 1; i >= 0; --i) PutBit(((value >> i) & 1u) != 0, true);
    return *this;
}

BitWriter& BitWriter::Lsb(uint64_t value, int bits) {
    if (bits < 0 || bits > 64) throw std::invalid_argument("BitWriter::Lsb width");
    for (int i = 0; i < bits; ++i) PutBit(((value >> i) & 1u) != 0, false);
    return *this;
}

BitWriter& BitWriter::AlignZero() {
    while (bitCount_ % 8 != 0) PutBit(false, true);
    return *this;
}

BitWriter& BitWriter::Raw(std::initializer_list<uint8_t> bytes) {
    AlignZero();
    for (uint8_t b : bytes) Msb(b, 8);
    return *this;
}

}  // namespace tessavo::test

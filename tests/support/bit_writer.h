// Builds bit-packed payloads for tests, field by field, in the layouts the bit reader reads,
// e.g. BitWriter().Msb(7, 8).AlignZero().Lsb(0x0CB5, 12).Bytes(). Both disciplines share one bit
// cursor, as in the reader: an MSB-first field (over-the-air fields) fills the current byte from
// its most significant unused bit down, an LSB-first field (log-record fields) from its least
// significant unused bit up. Bits never written are 0.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace tessavo::test {

class BitWriter {
  public:
    // Appends the low `bits` bits (0 to 64) of `value`, its most significant bit first.
    BitWriter& Msb(uint64_t value, int bits);
    // Appends the low `bits` bits (0 to 64) of `value`, its least significant bit first; on a
    // byte boundary a multiple of 8 bits lands as the little-endian value.
    BitWriter& Lsb(uint64_t value, int bits);
    // Pads with zero bits up to the next byte boundary (nothing when already on one). Unlike
    // the reader's alignment, which always moves at least one bit.
    BitWriter& AlignZero();
    // Appends whole bytes; pads to a byte boundary first.
    BitWriter& Raw(std::initializer_list<uint8_t> bytes);

    int64_t BitCount() const { return bitCount_; }
    // The bytes written so far; a partly written last byte is included.
    std::vector<uint8_t> Bytes() const { return bytes_; }

  private:
    void PutBit(bool bit, bool fromMsb);

    std::vector<uint8_t> bytes_;
    int64_t bitCount_ = 0;
};

}  // namespace tessavo::test

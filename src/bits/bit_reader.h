// Bit-field reader over a packet payload, and the typed field reads parsers build on it.
//
// Two read disciplines share one cursor. MSB-first takes bits from the most significant end of
// each byte and delivers the field big-endian (over-the-air signalling messages); LSB-first
// takes bits from the least significant end and delivers the bytes in stored order (log
// records). The position is 1-based: bit 1 is the first bit of byte 0, bit 9 the first of byte 1.
//
// Untrusted input: the reader never touches a byte outside the attached buffer. Positions and
// bit counts are 64-bit; a read that asks for more bits than remain, or a skip or alignment past
// the end, exhausts the reader for good (until the next Attach), and a read of width below 1
// fails without moving.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

#include "bits/packet_view.h"

namespace tessavo {

class BitReader {
  public:
    BitReader() = default;
    virtual ~BitReader() = default;

    BitReader(const BitReader&) = delete;
    BitReader& operator=(const BitReader&) = delete;

    // Starts over at bit 1 of `buffer`, `length` bytes long (the buffer is not owned). A null
    // buffer or a negative length attaches an empty buffer.
    void Attach(const uint8_t* buffer, int32_t length);

    // Reads `bits` bits MSB-first: ceil(bits / 8) bytes, the value right-aligned, most
    // significant byte first. Returns false when too few bits remain (the reader is then
    // exhausted and nothing moves), when `bits` < 1 (nothing moves), or when the value does not
    // fit `capacity` bytes; in that last case the cursor has moved past the field all the same.
    bool ReadMsbFirst(uint8_t* out, int64_t capacity, int64_t bits);

    // Reads `bits` bits LSB-first into the bytes the field touches, in stored order. A field that
    // starts inside a byte and crosses into the next comes out as partial bytes, not a merged
    // value. Returns false, without moving, when too few bits remain (the reader is then
    // exhausted), when `bits` < 1, or when the bytes do not fit `capacity`.
    bool ReadLsbFirst(uint8_t* out, int64_t capacity, int64_t bits);

    // `count` whole bytes MSB-first: the stored byte order when the cursor is on a byte boundary.
    bool ReadBytes(uint8_t* out, int64_t count) { return ReadMsbFirst(out, count, count * 8); }

    // A big-endian 16-bit field into host (little-endian) order: out[1] is read first, then out[0].
    // The result is that of the second read.
    bool ReadU16BigEndian(uint8_t* out);

    // Moves `bits` bits forward (or back when negative). Moving past the end, or back before
    // bit 1, exhausts the reader. Always returns true.
    bool Skip(int64_t bits);

    // Moves to the first bit of the next byte: 1 bit from the last bit of a byte, a whole byte
    // from the first bit of a byte. Returns the number of bits moved (1 to 8); moving past the
    // end exhausts the reader.
    int AlignToNextByte();

    bool IsExhausted() const { return remaining_ < 1; }
    int64_t Position() const { return position_; }
    int64_t Remaining() const { return remaining_; }

  private:
    // Bits of the buffer that end at 0-based MSB-first bit index `last`, at most 8 of them and
    // none before bit index `first`; right-aligned.
    uint8_t MsbByteEndingAt(int64_t first, int64_t last) const;
    void Exhaust();

    const uint8_t* data_ = nullptr;
    int64_t position_ = 1;
    int64_t remaining_ = 0;
    bool exhausted_ = false;  // set by a failed read or an overrun; cleared only by Attach
};

// Field reads the way a parser declares them: one temporary per width (1, 2, 4 and 8 bytes),
// shared by every field of that width, whatever its signedness. A successful read sets the
// temporary to the field's value; a failed read leaves it as it was, and the field is copied
// from it all the same. So a field read after the end of a short payload holds the value of
// the previous field read through the same temporary, and 0 when there was none.
class FieldTemps {
  public:
    explicit FieldTemps(BitReader& reader) : reader_(reader) {}

    // LSB-first field: the bytes the reader delivers, in stored order (no sign extension). A
    // misaligned field that touches more bytes than T holds fails and does not move.
    template <class T>
    T Lsb(int64_t bits) {
        static_assert(std::is_integral_v<T> && sizeof(T) <= 8);
        std::array<uint8_t, 8> bytes{};
        if (reader_.ReadLsbFirst(bytes.data(), sizeof(T), bits)) {
            uint64_t value = 0;
            std::memcpy(&value, bytes.data(), sizeof(T));
            Temp<T>() = value;
        }
        return static_cast<T>(Temp<T>());
    }
    template <class T>
    void Lsb(T& field, int64_t bits) {
        field = Lsb<T>(bits);
    }

    // MSB-first field in host order: 2-byte results are swapped, 3-byte results land in a 4-byte
    // temporary and are swapped and shifted down by 8, 4-byte results are swapped. A field wider
    // than T fails but still moves the cursor past it.
    template <class T>
    T Msb(int64_t bits) {
        return static_cast<T>(MsbInto(sizeof(T), bits, false));
    }
    template <class T>
    void Msb(T& field, int64_t bits) {
        field = Msb<T>(bits);
    }
    // Same, with the field's top bit (bit `bits` - 1) extended through T: a signed field.
    template <class T>
    T MsbSigned(int64_t bits) {
        static_assert(std::is_signed_v<T>);
        return static_cast<T>(MsbInto(sizeof(T), bits, true));
    }

    BitReader& Reader() { return reader_; }

  private:
    template <class T>
    uint64_t& Temp() {
        static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
        if constexpr (sizeof(T) == 1) return temps_[0];
        if constexpr (sizeof(T) == 2) return temps_[1];
        if constexpr (sizeof(T) == 4) return temps_[2];
        return temps_[3];
    }
    uint64_t MsbInto(size_t size, int64_t bits, bool signExtend);

    BitReader& reader_;
    std::array<uint64_t, 4> temps_{};  // the 1-, 2-, 4- and 8-byte temporaries, zero-extended
};

// Attaches the reader to the log payload: packet byte 16 to the end of the packet (check bytes
// and terminator included). A packet without payload bytes attaches an empty buffer.
inline void AttachLogPayload(BitReader& reader, PacketView packet) {
    const bool hasPayload = packet.Length() > kLogOffsetPayload;
    reader.Attach(hasPayload ? packet.Data() + kLogOffsetPayload : nullptr,
                  packet.Length() - kLogOffsetPayload);
}

}  // namespace tessavo

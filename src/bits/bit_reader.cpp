#include "bits/bit_reader.h"

#include <algorithm>

namespace tessavo {

void BitReader::Attach(const uint8_t* buffer, int32_t length) {
    data_ = buffer;
    position_ = 1;
    remaining_ = (buffer != nullptr && length > 0) ? static_cast<int64_t>(length) * 8 : 0;
    exhausted_ = false;
}

void BitReader::Exhaust() {
    remaining_ = 0;
    exhausted_ = true;
}

uint8_t BitReader::MsbByteEndingAt(int64_t first, int64_t last) const {
    // Window of 16 bits whose lowest bit is `last`; the byte before is read only when the
    // window reaches into it and it is inside the buffer.
    const int64_t byte = last / 8;
    const int shift = 7 - static_cast<int>(last % 8);
    uint32_t window = data_[byte];
    if (shift != 0 && byte > 0) window |= static_cast<uint32_t>(data_[byte - 1]) << 8;
    const int64_t count = std::min<int64_t>(8, last - first + 1);
    return static_cast<uint8_t>((window >> shift) & ((1u << count) - 1u));
}

bool BitReader::ReadMsbFirst(uint8_t* out, int64_t capacity, int64_t bits) {
    if (bits < 1) return false;
    if (exhausted_ || remaining_ < bits) {
        Exhaust();
        return false;
    }
    // The field is bits first..last (0-based, MSB-first order). Output byte j, counted from the
    // end, carries the 8 bits that end 8 * j bits before `last`.
    const int64_t first = position_ - 1;
    const int64_t last = first + bits - 1;
    const int64_t size = (bits + 7) / 8;
    // A field wider than the destination is passed over: the cursor moves all the same.
    position_ += bits;
    remaining_ -= bits;
    if (out == nullptr || capacity < size) return false;
    for (int64_t j = 0; j < size; ++j) {
        out[size - 1 - j] = MsbByteEndingAt(first, last - 8 * j);
    }
    return true;
}

bool BitReader::ReadLsbFirst(uint8_t* out, int64_t capacity, int64_t bits) {
    if (bits < 1) return false;
    if (exhausted_ || remaining_ < bits) {
        Exhaust();
        return false;
    }
    const int64_t first = position_ - 1;
    const int off = static_cast<int>(first % 8);
    const int pad = static_cast<int>((8 - (off + bits) % 8) % 8);
    const int64_t size = (off + bits + pad) / 8;
    const uint8_t* src = data_ + first / 8;
    const uint8_t lastMask = static_cast<uint8_t>(0xFFu >> pad);
    // A field wider than the destination fails and the cursor stays.
    if (out == nullptr || capacity < size) return false;
    if (size == 1) {
        out[0] = static_cast<uint8_t>((src[0] & lastMask) >> off);
    } else {
        // Each byte but the last is shifted on its own; no bits move between bytes.
        for (int64_t i = 0; i + 1 < size; ++i) out[i] = static_cast<uint8_t>(src[i] >> off);
        out[size - 1] = static_cast<uint8_t>(src[size - 1] & lastMask);
    }
    position_ += bits;
    remaining_ -= bits;
    return true;
}

bool BitReader::ReadU16BigEndian(uint8_t* out) {
    if (out == nullptr) return false;
    ReadMsbFirst(out + 1, 1, 8);
    return ReadMsbFirst(out, 1, 8);
}

bool BitReader::Skip(int64_t bits) {
    if (exhausted_) {
        return true;
    }
    if (bits > remaining_) {
        position_ += remaining_;  // stands at the end
        Exhaust();
    } else if (bits < 0 && -bits >= position_) {
        Exhaust();  // would move before bit 1
    } else {
        position_ += bits;
        remaining_ -= bits;
    }
    return true;
}

int BitReader::AlignToNextByte() {
    const int r = static_cast<int>(position_ % 8);
    const int move = (r == 0) ? 1 : 9 - r;
    Skip(move);
    return move;
}

uint64_t FieldTemps::MsbInto(size_t size, int64_t bits, bool signExtend) {
    uint64_t& temp = size == 1   ? temps_[0]
                     : size == 2 ? temps_[1]
                     : size == 4 ? temps_[2]
                                 : temps_[3];
    std::array<uint8_t, 8> bytes{};
    if (reader_.ReadMsbFirst(bytes.data(), static_cast<int64_t>(size), bits)) {
        // Big-endian bytes to host order: for 2 and 4 bytes this is the byte swap, for 3 bytes
        // the swap of a 4-byte temporary shifted down by 8.
        const int64_t count = (bits + 7) / 8;
        uint64_t value = 0;
        for (int64_t i = 0; i < count; ++i) value = (value << 8) | bytes[static_cast<size_t>(i)];
        if (signExtend && bits < 64 && ((value >> (bits - 1)) & 1u) != 0) {
            value |= ~uint64_t{0} << bits;
        }
        if (size < 8) value &= (uint64_t{1} << (size * 8)) - 1u;
        temp = value;
    }
    return temp;
}

}  // namespace tessavo

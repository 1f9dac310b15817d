// Bounded read-only view of one unescaped packet. Bytes at or beyond the length read as 0.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/le.h"

namespace tessavo {

// First byte of every log packet; any other first byte is a command response.
inline constexpr uint8_t kLogCommand = 0x10;

// Offsets of the log packet header (all little-endian).
inline constexpr int kLogOffsetOuterLength = 2;
inline constexpr int kLogOffsetRecordLength = 4;
inline constexpr int kLogOffsetCode = 6;
inline constexpr int kLogOffsetTimeStamp = 8;
inline constexpr int kLogOffsetPayload = 16;
// Bytes behind the payload of an unescaped packet: two check bytes and the 0x7E terminator.
inline constexpr int kPacketTrailer = 3;

class PacketView {
public:
    PacketView() = default;
    PacketView(const uint8_t* data, int32_t length) : data_(data), length_(data ? length : 0) {
        if (length_ < 0) length_ = 0;
    }

    const uint8_t* Data() const { return data_; }
    int32_t Length() const { return length_; }

    uint8_t U8(int64_t off) const { return InRange(off, 1) ? data_[off] : ByteOr0(off); }
    int8_t S8(int64_t off) const { return static_cast<int8_t>(U8(off)); }
    uint16_t U16(int64_t off) const { return static_cast<uint16_t>(U8(off) | (U8(off + 1) << 8)); }
    int16_t S16(int64_t off) const { return static_cast<int16_t>(U16(off)); }
    uint32_t U32(int64_t off) const {
        return static_cast<uint32_t>(U16(off)) | (static_cast<uint32_t>(U16(off + 2)) << 16);
    }
    int32_t S32(int64_t off) const { return static_cast<int32_t>(U32(off)); }
    uint64_t U64(int64_t off) const {
        return static_cast<uint64_t>(U32(off)) | (static_cast<uint64_t>(U32(off + 4)) << 32);
    }
    // Copies n bytes from off into dst; bytes outside the packet become 0.
    void Copy(int64_t off, uint8_t* dst, size_t n) const {
        for (size_t i = 0; i < n; ++i) dst[i] = U8(off + static_cast<int64_t>(i));
    }

    // Log packet header fields.
    uint16_t LogCode() const { return U16(kLogOffsetCode); }
    uint16_t LogRecordLength() const { return U16(kLogOffsetRecordLength); }

private:
    bool InRange(int64_t off, int64_t n) const { return off >= 0 && off + n <= length_; }
    uint8_t ByteOr0(int64_t off) const { return (off >= 0 && off < length_) ? data_[off] : 0; }

    const uint8_t* data_ = nullptr;
    int32_t length_ = 0;
};

}  // namespace tessavo

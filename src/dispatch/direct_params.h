// Decoder of the compact form (log code 0xFFFE) that re-encoding writes: tagged entries that
// restore an item's message code and direction and publish parameters by ID.
//
// Entries start at packet offset 16 and end before the check bytes. Each is a u32 tag, a u32
// size and a value, little-endian. The parameter section lists (ID, size, value) triples: a
// u32 value for scalar IDs, `size` bytes of blob for the structured IDs 0x7F0107D0..0x7F0107F4.
#pragma once

#include <cstdint>

#include "bits/packet_view.h"
#include "decoders/decoder_context.h"

namespace tessavo {

inline constexpr uint16_t kDirectParamsLogCode = 0xFFFE;

// Entry tags.
inline constexpr uint32_t kTagVersion = 0xFF0F0000;
inline constexpr uint32_t kTagItemTime = 0xFF0F0001;
inline constexpr uint32_t kTagDirection = 0xFF0F0002;
inline constexpr uint32_t kTagMsgCode = 0xFF0F0003;
inline constexpr uint32_t kTagSectionSize = 0xFF0F0004;
inline constexpr uint32_t kTagParams = 0xFF0F0010;

// Structured IDs a compact packet may carry; every other ID is looked up as a scalar.
inline constexpr uint32_t kFirstDirectStructId = 0x7F0107D0;
inline constexpr uint32_t kLastDirectStructId = 0x7F0107F4;

// The first compact packet of this message code in a decoder object publishes nothing.
inline constexpr uint32_t kOneShotMsgCode = 0x127E0000;

// `packet` is the whole unescaped packet (header, entries, CRC, 0x7E). Returns 1 to accept,
// 0 to refuse (a null packet, or a time entry whose size is not 8).
uint32_t DecodeDirectParams(DecoderContext& ctx, PacketView packet);

}  // namespace tessavo

// Re-encoding of an accepted report item into its Zel simple block.
//
// Items whose identity J (a 16-bit value taken from the message code) is in the pass-through
// set keep the frame as received. Every other item gets the compact form: a log packet of log
// code 0xFFFE that carries the item's time, direction, message code and its freshly set scalar
// parameters as tagged entries, escaped and terminated, which the direct-parameter decoder
// reads back. The payload block then starts with 0xFF 0xFF 0xFF 0xFF followed by the escaped
// form from its byte 16 on.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framing/hdlc.h"
#include "decoders/decoder_context.h"

namespace tessavo {

// Unescaped compact form: 78 header bytes, the parameter section (tag, size, K and 12 bytes
// per parameter) and the two check bytes.
inline constexpr size_t kCompactHeaderSize = 78;
inline constexpr size_t kCompactEntrySize = 12;
inline constexpr size_t kCompactMaxLength =
    kCompactHeaderSize + kCompactEntrySize + kParamCount * kCompactEntrySize + 2;
static_assert(kCompactMaxLength == 80 + 12 + 384 * 12);
inline constexpr size_t kCompactEscapedCapacity = EscapedCapacity(kCompactMaxLength);

// The identity J of a message code: the low half when the code is negative as an i32, the
// high half otherwise; the three command codes 0xDD4B0000, 0xDD3F0000 and 0xEEAA0001 give
// their high half.
uint16_t ReencodeIdentity(uint32_t msgCode);
// Whether items of identity J keep the frame as received (57 identities).
bool IsPassThroughIdentity(uint16_t identity);

// Writes the unescaped compact form of the current item into `out` (kCompactMaxLength bytes)
// and returns its length N. The time stamp (offset 8) and the two check bytes come from the
// packet held in ctx.packet / ctx.packetLength.
size_t BuildCompactForm(const DecoderContext& ctx, uint8_t* out);

// The payload block of a compact packet: the four bytes 0xFF, then `form` from its byte 16 on,
// min(formLength - 15, 5120) bytes in all, so the form's last three bytes are left out. Used on
// the escaped form at re-encoding and on the unescaped packet when a compact packet is decoded.
void AssignCompactPayload(Block& payload, const uint8_t* form, int64_t formLength);

// Fills the Zel simple block (and, for the compact form, rewrites the payload block). `frame`
// is the frame as the dispatcher received it, escaped and terminated.
void Reencode(DecoderContext& ctx, const uint8_t* frame, uint32_t frameLength);

}  // namespace tessavo

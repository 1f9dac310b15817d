// Frame decoding: hands complete frames to the dispatcher, splits packed logs into
// sub-packets, and appends every accepted item to the ring.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "common/time_pair.h"
#include "framing/hdlc.h"
#include "decoders/decoder_context.h"

namespace tessavo {

struct DecoderObject;

// Scratch space of frame decoding, allocated once per decoder object.
struct FrameWorkBuffers {
    std::array<uint8_t, kFrameCapacity> whole;   // the input and its flag in the whole-frame mode
    std::array<uint8_t, kFrameCapacity> packed;  // the unescaped packed frame
    std::array<uint8_t, kFrameCapacity> sub;     // one unescaped sub-packet
    std::array<uint8_t, EscapedCapacity(kFrameCapacity)> escaped;  // the same, escaped
};

std::unique_ptr<FrameWorkBuffers> MakeFrameWorkBuffers();

// Most report items one frame can yield: a packed log gives its own item and one per entry,
// of which its count byte announces up to 15 of each of two kinds.
inline constexpr int32_t kMaxItemsPerPackedLog = 1 + 15 + 15;

// Upper bound of the report items decoding the frame may append.
int32_t MaxItemsOfFrame(const uint8_t* frame, int32_t length);

// True when the ring has a free node for every item the frame may yield. No frame is decoded
// otherwise, so no item overwrites one the host has not collected.
bool RingHasRoomFor(const DecoderObject& obj, const uint8_t* frame, int32_t length);

// Returns 1 when the frame was processed, 0 when it was refused outright (empty, longer than
// a frame may be, or a packed log whose header does not fit).
uint8_t DecodeFrame(DecoderObject& obj, const uint8_t* frame, int32_t length, TimePair host);

}  // namespace tessavo

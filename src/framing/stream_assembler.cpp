#include "framing/stream_assembler.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "api/decoder_object.h"
#include "framing/frame_decoder.h"
#include "framing/hdlc.h"

namespace tessavo {
namespace {

// In the whole-frame mode the host's length excludes the closing 0x7E that follows in its
// buffer. The frame is rebuilt with its own terminator instead of reading past the length the
// host passed, in a buffer of its own: an unfinished frame in FrameBuffer stays for later.
uint8_t DecodeWholeFramePlusOne(DecoderObject& obj, const uint8_t* bytes, int32_t length,
                                TimePair host) {
    if (length >= kFrameCapacity - 1) return 0;
    std::array<uint8_t, kFrameCapacity>& frame = obj.work->whole;
    std::copy(bytes, bytes + length, frame.begin());
    frame[static_cast<size_t>(length)] = kFrameFlag;
    return DecodeFrame(obj, frame.data(), length + 1, host);
}

// Keeps bytes [from, to) of the input as the collected start of a frame.
void Collect(DecoderObject& obj, const uint8_t* bytes, int32_t from, int32_t to) {
    std::copy(bytes + from, bytes + to, obj.frameBuffer.begin());
    obj.frameLength = to - from;
}

// With nothing collected, takes the input from `i` up to and including the next flag as one
// frame, as the byte-wise collection would: a run of kFrameCapacity bytes without a flag is
// dropped and collection restarts after it. Without a flag the bytes are collected for the
// next call. Returns the index after the bytes taken, or -(bytes left) when the ring has no
// room for the frame (then kept collected without its flag).
int32_t DecodeInPlace(DecoderObject& obj, const uint8_t* bytes, int32_t length, int32_t i,
                      TimePair host) {
    const void* found = std::memchr(bytes + i, kFrameFlag, static_cast<size_t>(length - i));
    const int32_t flag = found == nullptr
                             ? length
                             : static_cast<int32_t>(static_cast<const uint8_t*>(found) - bytes);
    const int32_t start = i + (flag - i) / kFrameCapacity * kFrameCapacity;
    if (found == nullptr) {
        Collect(obj, bytes, start, length);
        return length;
    }
    const int32_t frameLength = flag - start + 1;
    if (frameLength < kFrameCapacity) {
        if (!RingHasRoomFor(obj, bytes + start, frameLength)) {
            Collect(obj, bytes, start, flag);
            return -(length - flag);
        }
        DecodeFrame(obj, bytes + start, frameLength, host);
    }
    obj.frameLength = 0;
    return flag + 1;
}

}  // namespace

int32_t AssembleStream(DecoderObject& obj, const uint8_t* bytes, int32_t length, TimePair host) {
    obj.ringFillAfterPush = 0;
    try {
        if (obj.wholeBufferMode || obj.wholeFramePlusOneMode) {
            // The input is one frame: taken whole, or not at all when its items do not fit.
            if (!RingHasRoomFor(obj, bytes, length)) return length;
            if (obj.wholeBufferMode) {
                DecodeFrame(obj, bytes, length, host);
            } else {
                DecodeWholeFramePlusOne(obj, bytes, length, host);
            }
            return 0;
        }
        for (int32_t i = 0; i < length; ++i) {
            if (obj.frameLength == 0) {
                // Nothing collected yet: the frame is decoded where it lies in the input.
                const int32_t next = DecodeInPlace(obj, bytes, length, i, host);
                if (next < 0) return -next;
                const bool tookFrame = bytes[next - 1] == kFrameFlag;
                if (tookFrame && obj.ringFillAfterPush >= kRingSize) return length - next;
                i = next - 1;  // the loop steps to `next`
                continue;
            }
            const uint8_t b = bytes[i];
            obj.frameBuffer[static_cast<size_t>(obj.frameLength++)] = b;
            if (b != kFrameFlag) {
                // An over-long frame is dropped; collecting restarts with the next byte.
                if (obj.frameLength >= kFrameCapacity) obj.frameLength = 0;
                continue;
            }
            if (obj.frameLength < kFrameCapacity) {
                if (!RingHasRoomFor(obj, obj.frameBuffer.data(), obj.frameLength)) {
                    // Not decoded yet: the frame stays collected without its flag, and the
                    // host passes the flag and what follows again after collecting.
                    --obj.frameLength;
                    return length - i;
                }
                DecodeFrame(obj, obj.frameBuffer.data(), obj.frameLength, host);
            }
            obj.frameLength = 0;
            if (obj.ringFillAfterPush >= kRingSize) return length - (i + 1);
        }
        return 0;
    } catch (...) {
        obj.frameLength = 0;
        return -1;
    }
}

}  // namespace tessavo

#include "framing/stream_assembler.h"

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
    if (length + 1 >= kFrameCapacity) return 0;
    std::array<uint8_t, kFrameCapacity>& frame = obj.work->whole;
    std::copy(bytes, bytes + length, frame.begin());
    frame[static_cast<size_t>(length)] = kFrameFlag;
    return DecodeFrame(obj, frame.data(), length + 1, host);
}

}  // namespace

int32_t AssembleStream(DecoderObject& obj, const uint8_t* bytes, int32_t length, TimePair host) {
    obj.ringFillAfterPush = 0;
    try {
        if (obj.wholeBufferMode) {
            DecodeFrame(obj, bytes, length, host);
            return 0;
        }
        if (obj.wholeFramePlusOneMode) {
            DecodeWholeFramePlusOne(obj, bytes, length, host);
            return 0;
        }
        for (int32_t i = 0; i < length; ++i) {
            const uint8_t b = bytes[i];
            obj.frameBuffer[static_cast<size_t>(obj.frameLength++)] = b;
            if (b != kFrameFlag) {
                // An over-long frame is dropped; collecting restarts with the next byte.
                if (obj.frameLength >= kFrameCapacity) obj.frameLength = 0;
                continue;
            }
            if (obj.frameLength < kFrameCapacity) {
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

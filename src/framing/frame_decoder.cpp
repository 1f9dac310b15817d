#include "framing/frame_decoder.h"

#include <array>
#include <cstring>

#include "api/decoder_object.h"
#include "bits/packet_view.h"
#include "dispatch/dispatcher.h"
#include "dtlog/dtlog_hook.h"
#include "framing/crc16.h"
#include "framing/hdlc.h"

namespace tessavo {

inline constexpr uint16_t kPackedLogA = 0x1036;
inline constexpr uint16_t kPackedLogB = 0x1037;
// Marker written at offset H of a sub-packet: one entry of the first or the second kind.
inline constexpr uint8_t kFirstKindMarker = 0x10;
inline constexpr uint8_t kSecondKindMarker = 0x01;

std::unique_ptr<FrameWorkBuffers> MakeFrameWorkBuffers() {
    return std::make_unique<FrameWorkBuffers>();
}

namespace {

void PostDecode(DecoderObject& obj) {
    obj.ringFillAfterPush = obj.ring.Append(obj.ctx);
    if (obj.appendObserver != nullptr) obj.appendObserver(obj.appendObserverUser, obj.ctx.item);
    if (obj.dtLogEnabled && obj.dtLog) RunDtLogBuilder(obj.ctx, *obj.dtLog);
}

void DispatchAndAppend(DecoderObject& obj, const uint8_t* frame, int32_t length, TimePair host,
                       int subPacket) {
    if (Dispatch(obj.ctx, frame, static_cast<uint32_t>(length), host, subPacket) != 0) {
        PostDecode(obj);
    }
}

// Unescapes just enough of the frame to read the log code of its header; -1 when the frame is
// too short to hold one.
int32_t PeekLogCode(const uint8_t* frame, int32_t length) {
    // Usually no escape falls in the header: its bytes are then read where they are.
    if (length >= kLogOffsetPayload && std::memchr(frame, kEscape, kLogOffsetPayload) == nullptr) {
        return frame[kLogOffsetCode] | (frame[kLogOffsetCode + 1] << 8);
    }
    uint8_t header[kLogOffsetPayload];
    int n = 0;
    for (int32_t i = 0; i < length && n < kLogOffsetPayload; ++i) {
        uint8_t b = frame[i];
        if (b == kEscape && i + 1 < length && (frame[i + 1] == 0x5D || frame[i + 1] == 0x5E)) {
            b = static_cast<uint8_t>(frame[++i] ^ kEscapeXor);
        }
        header[n++] = b;
    }
    if (n < kLogOffsetPayload) return -1;
    return header[kLogOffsetCode] | (header[kLogOffsetCode + 1] << 8);
}

// Splits a packed log into one sub-packet per entry, each with its own CRC and escaping.
uint8_t ExpandPackedLog(DecoderObject& obj, const uint8_t* frame, int32_t length, TimePair host) {
    FrameWorkBuffers& w = *obj.work;
    int32_t la = 0;
    Unescape(frame, static_cast<size_t>(length), w.packed.data(), la);
    const uint8_t* a = w.packed.data();
    if (la <= kLogOffsetPayload) return 0;
    const int32_t n = a[kLogOffsetPayload];
    if (n > la) return 0;
    const int32_t h = (n + 19) % 256;  // header length, an 8-bit quantity
    if (h >= la) return 1;
    const uint8_t counts = a[h];
    const int kinds[2] = {counts >> 4, counts & 0x0F};
    const uint8_t markers[2] = {kFirstKindMarker, kSecondKindMarker};
    int32_t cursor = h + 1;
    for (int kind = 0; kind < 2; ++kind) {
        for (int e = 0; e < kinds[kind]; ++e) {
            if (cursor + 2 > la) return 1;
            const int32_t entryLength = a[cursor + 1] + 2;
            if (cursor + entryLength > la) return 1;
            int32_t lb = 0;
            std::copy(a, a + h, w.sub.begin());
            lb = h;
            w.sub[static_cast<size_t>(lb++)] = markers[kind];
            std::copy(a + cursor, a + cursor + entryLength, w.sub.begin() + lb);
            lb += entryLength;
            const uint16_t crc = Crc16(w.sub.data(), static_cast<size_t>(lb));
            w.sub[static_cast<size_t>(lb++)] = static_cast<uint8_t>(crc);
            w.sub[static_cast<size_t>(lb++)] = static_cast<uint8_t>(crc >> 8);
            int32_t le = 0;
            Escape(w.sub.data(), static_cast<size_t>(lb), w.escaped.data(), le);
            DispatchAndAppend(obj, w.escaped.data(), le, host, 1);
            cursor += entryLength;
        }
    }
    return 1;
}

}  // namespace

int32_t MaxItemsOfFrame(const uint8_t* frame, int32_t length) {
    if (frame == nullptr || length < 1 || frame[0] != kLogCommand) return 1;
    const int32_t logCode = PeekLogCode(frame, length);
    return logCode == kPackedLogA || logCode == kPackedLogB ? kMaxItemsPerPackedLog : 1;
}

bool RingHasRoomFor(const DecoderObject& obj, const uint8_t* frame, int32_t length) {
    const int32_t room = obj.ring.Room();
    if (room >= kMaxItemsPerPackedLog) return true;  // room for any frame: no need to look
    return room >= MaxItemsOfFrame(frame, length);
}

uint8_t DecodeFrame(DecoderObject& obj, const uint8_t* frame, int32_t length, TimePair host) {
    if (frame == nullptr || length < 1 || length >= kFrameCapacity) return 0;
    if (obj.frameObserver != nullptr) obj.frameObserver(obj.frameObserverUser, frame, length);
    if (frame[0] != kLogCommand) {
        DispatchAndAppend(obj, frame, length, host, 0);
        return 1;
    }
    const int32_t logCode = PeekLogCode(frame, length);
    DispatchAndAppend(obj, frame, length, host, 0);
    if (logCode != kPackedLogA && logCode != kPackedLogB) return 1;
    return ExpandPackedLog(obj, frame, length, host);
}

}  // namespace tessavo

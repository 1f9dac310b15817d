#include "dispatch/reencode.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "bits/packet_view.h"
#include "common/le.h"
#include "dispatch/direct_params.h"

namespace tessavo {
namespace {

static_assert(sizeof(DecoderContext::reencodeScratch) >= kCompactEscapedCapacity,
              "the scratch must hold the escaped compact form of a full current list");
static_assert(kCompactMaxLength <= kBlockCapacity,
              "the unescaped form is built in the Zel simple block");

// Identities whose items keep the frame as received: the signalling and other logs a host
// replays as they are, and the command responses.
constexpr std::array<uint16_t, 57> kPassThrough = {
    0x1004, 0x1005, 0x1006, 0x1007, 0x1008, 0x1013, 0x102D, 0x1036, 0x1037, 0x1064, 0x1070, 0x1071,
    0x1076, 0x1077, 0x1078, 0x1079, 0x107A, 0x107C, 0x107E, 0x1080, 0x108A, 0x108B, 0x10F2, 0x10F4,
    0x10F5, 0x10F8, 0x1100, 0x1113, 0x1114, 0x1115, 0x1123, 0x1124, 0x1125, 0x1133, 0x1134, 0x1135,
    0x1143, 0x1144, 0x1145, 0x1183, 0x119A, 0x11E9, 0x11EA, 0x1282, 0x1295, 0x12A1, 0x1FFB, 0x3020,
    0x3040, 0x304B, 0x305D, 0x3063, 0x3073, 0x3079, 0xDD3F, 0xDD4B, 0xEEAA};
static_assert(std::is_sorted(kPassThrough.begin(), kPassThrough.end()) &&
                  std::adjacent_find(kPassThrough.begin(), kPassThrough.end()) ==
                      kPassThrough.end(),
              "binary search needs a strictly ascending set");

// The compact form is a log packet: its header has the offsets of every log packet, and its
// tagged entries take the place of the payload.
constexpr size_t kStampSize = 8;
// Size of the section tag, its size word and K, before the parameter entries.
constexpr size_t kSectionHead = 12;
constexpr uint32_t kCompactVersion = 1;

// Writes one tagged entry (tag, size, value bytes) at `out`; returns the byte after it.
uint8_t* PutEntry(uint8_t* out, uint32_t tag, const void* value, uint32_t size) {
    StoreLE(out, tag);
    StoreLE(out + 4, size);
    std::memcpy(out + 8, value, size);
    return out + 8 + size;
}

bool IsFresh(const ReportItem& item, uint16_t offset) {
    return item.ParamAt(offset).state == TESSAVO_STATE_FRESH;
}

}  // namespace

void AssignCompactPayload(Block& payload, const uint8_t* form, int64_t formLength) {
    static constexpr uint8_t kMarker[] = {0xFF, 0xFF, 0xFF, 0xFF};
    constexpr int64_t kMarkerSize = sizeof kMarker;
    // Marker plus the form between its header and its last three bytes.
    const int64_t total = std::clamp<int64_t>(
        formLength - kLogOffsetPayload - kPacketTrailer + kMarkerSize, 0, kBlockCapacity);
    payload.Assign(kMarker, static_cast<size_t>(std::min(total, kMarkerSize)));
    if (total > kMarkerSize) {
        payload.Append(form + kLogOffsetPayload, static_cast<size_t>(total - kMarkerSize));
    }
}

uint16_t ReencodeIdentity(uint32_t msgCode) {
    if (msgCode == 0xDD4B0000u || msgCode == 0xDD3F0000u || msgCode == 0xEEAA0001u) {
        return static_cast<uint16_t>(msgCode >> 16);
    }
    if ((msgCode & 0x80000000u) != 0) return static_cast<uint16_t>(msgCode & 0xFFFFu);
    return static_cast<uint16_t>(msgCode >> 16);
}

bool IsPassThroughIdentity(uint16_t identity) {
    return std::binary_search(kPassThrough.begin(), kPassThrough.end(), identity);
}

size_t BuildCompactForm(const DecoderContext& ctx, uint8_t* out) {
    const ReportItem& item = ctx.item;
    const PacketView packet(ctx.packet.data(), ctx.packetLength);
    const uint16_t listed = std::min<uint16_t>(item.curParamCount, kParamCount);

    uint32_t fresh = 0;
    for (uint16_t i = 0; i < listed; ++i) fresh += IsFresh(item, item.curParamList[i]) ? 1 : 0;
    // The section is present whenever the current list is not empty, even with no Fresh entry.
    const uint32_t sectionBytes =
        listed == 0 ? 0 : static_cast<uint32_t>(kSectionHead + fresh * kCompactEntrySize);
    const auto total = static_cast<uint16_t>(kCompactHeaderSize + sectionBytes + 2);

    out[0] = kLogCommand;
    out[1] = 0x00;
    StoreLE(out + kLogOffsetOuterLength, total);
    StoreLE(out + kLogOffsetRecordLength, total);
    StoreLE(out + kLogOffsetCode, kDirectParamsLogCode);
    packet.Copy(kLogOffsetTimeStamp, out + kLogOffsetTimeStamp, kStampSize);

    uint8_t* p = out + kLogOffsetPayload;
    p = PutEntry(p, kTagVersion, &kCompactVersion, sizeof kCompactVersion);
    std::array<uint8_t, 8> time{};
    StoreLE(time.data(), item.time.seconds);
    StoreLE(time.data() + 4, item.time.microseconds);
    p = PutEntry(p, kTagItemTime, time.data(), time.size());
    p = PutEntry(p, kTagDirection, &item.direction, sizeof item.direction);
    p = PutEntry(p, kTagMsgCode, &item.msgCode, sizeof item.msgCode);
    p = PutEntry(p, kTagSectionSize, &sectionBytes, sizeof sectionBytes);

    if (listed != 0) {
        p = PutEntry(p, kTagParams, &fresh, sizeof fresh);
        for (uint16_t i = 0; i < listed; ++i) {
            const uint16_t offset = item.curParamList[i];
            if (!IsFresh(item, offset)) continue;
            const DecodeParam& param = item.ParamAt(offset);
            p = PutEntry(p, param.id, &param.value, sizeof param.value);
        }
    }

    // The check bytes of the packet being re-encoded, as received (they stand before its 0x7E).
    const int64_t length = packet.Length();
    p[0] = packet.U8(length - 3);
    p[1] = packet.U8(length - 2);
    return total;
}

void Reencode(DecoderContext& ctx, const uint8_t* frame, uint32_t frameLength) {
    ReportItem& item = ctx.item;
    if (IsPassThroughIdentity(ReencodeIdentity(item.msgCode))) {
        item.zelSimple.Assign(frame, frame != nullptr ? frameLength : 0);
        ctx.MarkBlock(item.zelSimple);
        return;
    }

    // The block holds the unescaped form until it is escaped into the scratch.
    const size_t formLength = BuildCompactForm(ctx, item.zelSimple.bytes);
    int32_t escapedLength = 0;
    Escape(item.zelSimple.bytes, formLength, ctx.reencodeScratch.data(), escapedLength);

    // Many escaped bytes can make the frame longer than the block: it is cut to the block's
    // capacity, its last byte still the terminator, so the block always holds a closed frame.
    const auto escaped = static_cast<uint32_t>(escapedLength);
    if (escaped <= kBlockCapacity) {
        std::memcpy(item.zelSimple.bytes, ctx.reencodeScratch.data(), escaped);
        item.zelSimple.length = escaped;
    } else {
        std::memcpy(item.zelSimple.bytes, ctx.reencodeScratch.data(), kBlockCapacity - 1);
        item.zelSimple.bytes[kBlockCapacity - 1] = kFrameFlag;
        item.zelSimple.length = kBlockCapacity;
    }
    ctx.MarkBlock(item.zelSimple);
    AssignCompactPayload(item.payload, item.zelSimple.bytes, item.zelSimple.length);
    ctx.MarkBlock(item.payload);
}

}  // namespace tessavo

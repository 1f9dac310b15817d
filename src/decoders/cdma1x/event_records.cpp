#include "decoders/cdma1x/event_records.h"

#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr int64_t kPayload = kLogOffsetPayload;

// Adds to the report item's message code; the code wraps as a 32-bit value.
void RaiseMessageCode(DecoderContext& ctx, uint32_t by) {
    ctx.item.msgCode += by;
}

// Position of the cause byte of a 0x10F5 event, by event type T and the D bit.
struct CauseRule {
    uint8_t type;
    uint8_t positionD0;
    uint8_t positionD1;
};
constexpr CauseRule kCauseRules[] = {
    {1, 40, 40},  {25, 34, 37}, {32, 34, 37},  {48, 34, 40},  {73, 34, 40},
    {80, 34, 37}, {81, 33, 36}, {144, 39, 42}, {152, 39, 32},
};

}  // namespace

int ParseEventHeader(PacketView packet, EventHeader& header, bool withSubIdentifier) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    header.first = packet.U8(kPayload);
    header.field1 = packet.U16(kPayload + 1);
    header.field3 = packet.U32(kPayload + 3);
    header.field7 = packet.U32(kPayload + 7);
    header.field11 = packet.U8(kPayload + 11);
    header.field12 = packet.U8(kPayload + 12);
    header.identifier = packet.U16(kPayload + 13);
    if (withSubIdentifier) header.subIdentifier = packet.U8(kPayload + 15);
    return 1;
}

int32_t SelectEventCause(PacketView packet) {
    const uint8_t type = packet.U8(31);
    const bool d = (packet.U8(32) & 0x80) != 0;
    for (const CauseRule& rule : kCauseRules) {
        if (rule.type == type) return packet.U8(d ? rule.positionD1 : rule.positionD0) & 0x1F;
    }
    return -1;
}

void HandleEvent10F2(DecoderContext& ctx, PacketView packet, int32_t) {
    EventHeader h;
    ParseEventHeader(packet, h, false);
    RaiseMessageCode(ctx, h.identifier);
    ParamRun run(ctx);
    if (h.identifier == 270) {
        run.Set(Param(0x7F01D107), packet.U8(31));
        run.Set(Param(0x7F01D108), packet.U8(32));
    }
    run.Finish();
}

void HandleEvent10F4(DecoderContext& ctx, PacketView packet, int32_t) {
    EventHeader h;
    ParseEventHeader(packet, h, false);
    RaiseMessageCode(ctx, h.identifier);
    ParamRun run(ctx);
    switch (h.identifier) {
        case 272:
            run.Set(Param(0x7F01D102), packet.U8(37));
            run.Set(Param(0x7F01D103), packet.U8(38));
            break;
        case 456:
            run.Set(Param(0x7F01D104), packet.U8(31));
            run.Set(Param(0x7F01D105), packet.U8(32));
            break;
        case 293:
            run.Set(Param(0x7F01D106), packet.U8(31));
            break;
        case 273:
            run.Set(Param(0x7F01D109), packet.U8(31));
            break;
        default:
            break;
    }
    run.Finish();
}

void HandleEvent10F5(DecoderContext& ctx, PacketView packet, int32_t) {
    EventHeader h;
    ParseEventHeader(packet, h, true);
    RaiseMessageCode(ctx, h.subIdentifier + 512u);
    ParamRun run(ctx);
    if (h.identifier == 258 || h.identifier == 259) {
        const int32_t cause = SelectEventCause(packet);
        if (cause >= 0) run.Set(Param(0x7F01D101), cause);
    }
    run.Finish();
}

void HandleEvent10F8(DecoderContext& ctx, PacketView packet, int32_t) {
    EventHeader h;
    ParseEventHeader(packet, h, false);
    RaiseMessageCode(ctx, h.identifier);
    ParamRun run(ctx);
    if (h.identifier == 260 || h.identifier == 261) {
        run.Set(Param(0x7F01D10A), packet.U8(32));
        run.Set(Param(0x7F01D10B), packet.U8(33));
        run.Set(Param(0x7F01D10C), static_cast<int32_t>(packet.U32(35)));
        run.Set(Param(0x7F01D10D), static_cast<int32_t>(packet.U32(39)));
    }
    run.Finish();
}

void HandleEvent1100(DecoderContext& ctx, PacketView packet, int32_t) {
    EventHeader h;
    ParseEventHeader(packet, h, false);
    // Only the message code changes; the lists stay as the dispatcher left them.
    RaiseMessageCode(ctx, h.identifier);
}

}  // namespace tessavo

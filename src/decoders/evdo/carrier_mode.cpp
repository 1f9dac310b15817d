#include "decoders/evdo/carrier_mode.h"

#include "bits/bit_reader.h"
#include "decoders/record_reader.h"
#include "decoders/evdo/packet_stats_common.h"
#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

// Entry layout, in bits: id, 8 bytes not read, mode code, 54 bytes not read (65 bytes).
inline constexpr int kSkipAfterId = 8 * 8;
inline constexpr int kSkipAfterMode = 54 * 8;
static_assert(8 + kSkipAfterId + 16 + kSkipAfterMode == 65 * 8);

}  // namespace

int32_t CarrierModeOfCode(uint16_t modeCode) {
    switch (modeCode) {
        case 0:
        case 3:
            return 1;
        case 2:
            return 0;
        case 4:
            return 2;
        default:
            return kNoValue;
    }
}

int ParseCarrierMode(int32_t& carrierMode, PacketView packet, CarrierModeRecord& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.version, 8);
        if (rec.version != 0) return;
        t.Lsb(rec.selector, 16);
        t.Lsb(rec.count, 8);
        // An 8-bit count: at most 255 entries.
        for (int i = 0; i < rec.count; ++i) {
            const auto id = t.Lsb<uint8_t>(8);
            t.Reader().Skip(kSkipAfterId);
            const auto mode = t.Lsb<uint16_t>(16);
            t.Reader().Skip(kSkipAfterMode);
            if (id != rec.selector) continue;
            ++rec.matched;
            rec.modeCode = mode;
            carrierMode = CarrierModeOfCode(mode);
        }
    });
}

void HandleCarrierMode128A(DecoderContext& ctx, PacketView packet, int32_t) {
    CarrierModeRecord rec;
    ParseCarrierMode(ctx.carrierMode, packet, rec);
    ParamRun run(ctx);
    run.SetKnown(Param(0x7F01830A), ctx.carrierMode);
    run.Finish();
}

void HandleMessageCodeRefinement(DecoderContext& ctx, PacketView packet, int32_t) {
    const PacketView payload = LogPayload(packet);
    ctx.item.msgCode += uint32_t{payload.U8(0)} * 256u + payload.U8(1);
}

}  // namespace tessavo

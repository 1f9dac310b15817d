#include "decoders/evdo/state_byte.h"

#include "decoders/record_reader.h"
#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {

int ParseStateBytes(PacketView packet, StateByteRecord& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        for (uint8_t& b : rec.r) t.Lsb(b, 8);
    });
}

uint16_t NextModeC103(uint16_t mode, uint8_t r0, uint8_t r4, uint8_t r6) {
    switch (r0) {
        case 3:
            if (r4 <= 2 && r6 <= 1) return 0;
            if (r4 == 3) return 1;
            return mode;
        case 4:
            return (r4 == 1 || r4 == 3) ? 1 : mode;
        case 5:
            return 2;
        default:
            return mode;
    }
}

void HandleStateBytes(DecoderContext& ctx, PacketView packet, int32_t) {
    StateByteRecord rec;
    ParseStateBytes(packet, rec);
    const auto& r = rec.r;

    ctx.modeC103 = NextModeC103(ctx.modeC103, r[0], r[4], r[6]);
    // State 5: the 1x frame statistics no longer describe the handset's link.
    if (r[0] == 5) ClearParamGroupB(ctx);

    ParamRun run(ctx);
    run.PublishMode(1);
    // A state of 255 marks a record without state bytes.
    if (r[0] < 255) {
        run.Set(Param(0x7F018302), r[0]);
        ctx.lastValue018302 = r[0];
        run.Set(Param(0x7F018301), r[1]);
        run.Set(Param(0x7F018303), r[2]);
        run.Set(Param(0x7F018304), r[3]);
        if (r[4] < 4) run.Set(Param(0x7F018305), r[4]);
        run.Set(Param(0x7F018306), r[7]);
        run.Set(Param(0x7F018307), r[5]);
        run.Set(Param(0x7F018308), r[6]);
        run.Set(Param(0x7F018309), r[8]);
        ctx.lastValue018309 = r[8];
    }
    // Mode 0: the second interface's measurements are no longer valid.
    if (ctx.modeC103 == 0) ClearParamGroupD(ctx);
    run.Finish();
}

}  // namespace tessavo

#include "api/decoder_reset.h"

#include "dtlog/dtlog_builder.h"

namespace tessavo {

void ResetDecoderObject(DecoderObject& obj) {
    // A copy of one context built at its defaults: cheaper than building it again (its report
    // item alone sets up 384 parameter records), and too large for a temporary on the stack.
    static const auto* const fresh = new DecoderContext();
    obj.ctx = *fresh;
    obj.ctx.moduleType = obj.moduleType;
    obj.ring.Reset(obj.ctx);
    obj.frameLength = 0;
    obj.frameBuffer.fill(0);
    obj.collected.clear();
    obj.collectedCount = 0;
    obj.ringFillAfterPush = 0;
    obj.wholeBufferMode = 0;
    obj.wholeFramePlusOneMode = 0;
    obj.outFileEnabled = 0;
    obj.dtLogEnabled = 0;
    obj.pending.Clear();
    if (obj.dtLog) obj.dtLog->Reset();
    obj.frameObserver = nullptr;
    obj.frameObserverUser = nullptr;
}

}  // namespace tessavo

#include "api/decoder_reset.h"

#include <algorithm>
#include <cstring>

#include "dtlog/dtlog_builder.h"

namespace tessavo {

namespace {

// The store's line stamps as they must go on past the return to `fresh`: every line where the
// item now differs from the fresh item is stamped as written in the current generation, so the
// ring's history records the return at the next append like any other write.
ItemWrites StampsAfterReturn(const ParamStore& now, const ReportItem& fresh) {
    ItemWrites writes = now.writes;
    const auto* a = reinterpret_cast<const uint8_t*>(&now.item);
    const auto* b = reinterpret_cast<const uint8_t*>(&fresh);
    for (size_t l = 0; l < kItemLineCount; ++l) {
        const size_t from = l * kItemLineBytes;
        const size_t n = std::min(kItemLineBytes, sizeof(ReportItem) - from);
        if (std::memcmp(a + from, b + from, n) != 0) writes.Stamp(l);
    }
    return writes;
}

}  // namespace

void ResetDecoderObject(DecoderObject& obj) {
    // A copy of one context built at its defaults: cheaper than building it again (its report
    // item alone sets up 384 parameter records), and too large for a temporary on the stack.
    static const auto* const fresh = new DecoderContext();
    const ItemWrites writes = StampsAfterReturn(obj.ctx, fresh->item);
    obj.ctx = *fresh;
    obj.ctx.writes = writes;
    obj.ctx.moduleType = obj.moduleType;
    obj.ring.Reset();
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
    obj.appendObserver = nullptr;
    obj.appendObserverUser = nullptr;
}

}  // namespace tessavo

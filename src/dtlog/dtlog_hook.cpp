#include "dtlog/dtlog_hook.h"

#include <algorithm>
#include <cstring>

#include "dtlog/dtlog_param_fields.h"
#include "dtlog/dtlog_signalling.h"

namespace tessavo {
namespace {

// The block is only ever written from its start up to its length (both writers below clear it
// first), so its bytes past the length are still zero.
size_t DtLogBytesWritten(const DecoderContext& ctx) {
    const Block& block = ctx.item.dtlog;
    return ctx.plainWrites ? kBlockCapacity : std::min<size_t>(block.length, kBlockCapacity);
}

}  // namespace

void RunDtLogBuilder(DecoderContext& ctx, DtLogBuilder& builder) {
    builder.Reset();
    RenderScalarParams(ctx.item, builder);
    RenderStructParams(ctx.item, builder);
    RenderSignalling(ctx.item, builder);
    Block& block = ctx.item.dtlog;
    const size_t written = DtLogBytesWritten(ctx);
    builder.Serialize(block, written);
    ctx.Mark(&block, sizeof block.length + std::max<size_t>(written, block.length));
}

void ClearDtLogBlock(DecoderContext& ctx) {
    Block& block = ctx.item.dtlog;
    const size_t written = DtLogBytesWritten(ctx);
    if (written == 0 && block.length == 0) return;  // all zeros already
    ctx.Mark(&block, sizeof block.length + written);
    block.length = 0;
    std::memset(block.bytes, 0, written);
}

}  // namespace tessavo

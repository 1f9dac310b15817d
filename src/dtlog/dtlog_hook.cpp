#include "dtlog/dtlog_hook.h"

#include <cstring>

#include "dtlog/dtlog_param_fields.h"
#include "dtlog/dtlog_signalling.h"

namespace tessavo {

void RunDtLogBuilder(DecoderContext& ctx, DtLogBuilder& builder) {
    builder.Reset();
    RenderScalarParams(ctx.item, builder);
    RenderStructParams(ctx.item, builder);
    RenderSignalling(ctx.item, builder);
    builder.Serialize(ctx.item.dtlog);
}

void ClearDtLogBlock(Block& block) {
    block.length = 0;
    std::memset(block.bytes, 0, kBlockCapacity);
}

}  // namespace tessavo

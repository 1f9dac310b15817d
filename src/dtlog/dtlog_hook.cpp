#include "dtlog/dtlog_hook.h"

namespace tessavo {

void RunDtLogBuilder(DecoderContext& ctx) { ctx.item.dtlog.length = 0; }

}  // namespace tessavo

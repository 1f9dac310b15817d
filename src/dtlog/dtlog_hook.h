// Renders the parameters freshly set by a packet as DTLog text into the current item.
#pragma once

#include "params/decoder_context.h"

namespace tessavo {

// Runs after each append while DTLog output is on. The text builder is not written yet: the
// block stays empty.
void RunDtLogBuilder(DecoderContext& ctx);

}  // namespace tessavo

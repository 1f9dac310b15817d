// Renders the parameters freshly set by a packet as DTLog text into the current item.
#pragma once

#include "decoders/decoder_context.h"
#include "dtlog/dtlog_builder.h"

namespace tessavo {

// Runs after each append while DTLog output is on. The text lands in the DTLog block of the
// context's current item, which the ring has already copied: it leaves with the next item
// appended, so an item's block renders the packet before it.
void RunDtLogBuilder(DecoderContext& ctx, DtLogBuilder& builder);

// Empties the block, so that an item never carries text built before the output was last off.
void ClearDtLogBlock(DecoderContext& ctx);

}  // namespace tessavo

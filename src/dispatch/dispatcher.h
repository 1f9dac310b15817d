// Acceptance and routing of one packet into the current report item.
#pragma once

#include <cstdint>

#include "common/time_pair.h"
#include "decoders/decoder_context.h"

namespace tessavo {

// Handles one frame (escaped and terminated as received, or a sub-packet built from a packed
// log when `subPacket` is 1). Returns non-zero when the packet was accepted and the current
// report item is ready to be appended.
uint32_t Dispatch(DecoderContext& ctx, const uint8_t* frame, uint32_t frameLength, TimePair host,
                  int subPacket);

}  // namespace tessavo

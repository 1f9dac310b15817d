// Log codes 0x1036 / 0x1037: packed logs. They publish nothing; they give each item its
// message code (the packed packet's own, or one per entry kind for a sub-packet). The entries
// may be logs of either air interface.
#pragma once

#include "decoders/decoder.h"

namespace tessavo {

// `subPacket` is 1 for a sub-packet built from one entry of a packed log.
void HandlePackedLog(DecoderContext& ctx, PacketView packet, int32_t subPacket);

}  // namespace tessavo

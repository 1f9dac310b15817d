// The shape every log decoder shares.
//
// Per log code: a parser that fills a plain record from the packet (no publishing), a param
// handler and optionally a structured handler (no bit reading) that publish through
// ParamRun / StructRun. The dispatcher calls the param handler, then the structured handler.
//
// The packet is the unescaped frame as the dispatcher holds it: header (command byte 0x10,
// outer length, record length at 4, log code at 6, time stamp at 8), payload from byte 16,
// then the two CRC bytes and the closing 0x7E, which count in its length.
#pragma once

#include <cstdint>

#include "bits/packet_view.h"
#include "decoders/decoder_context.h"

namespace tessavo {

// `extra` is the log code for the decoders that share one handler between two codes, and the
// sub-packet flag for the packed-log handlers; 0 otherwise.
using LogHandler = void (*)(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

// EV-DO decoders that act on decoder state rather than on measurements: the carrier mode (log
// code 0x128A) and the message-code refinement of log codes 0x11E9 and 0x11EA.
//
// The carrier mode switches every EV-DO decoder between its single-carrier handlers (mode not
// 2) and its multi-carrier handlers (mode 2). It starts unknown (the no-value mark), which the
// decoders treat as single-carrier, and only 0x128A changes it.
#pragma once

#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

// 0x128A: a selector and a list of 65-byte entries; the entries whose id equals the selector
// set the mode, the last one winning.
struct CarrierModeRecord {
    uint8_t version = 0;  // only version 0 is read
    uint16_t selector = 0;
    uint8_t count = 0;      // entries announced
    uint16_t matched = 0;   // entries whose id equals the selector
    uint16_t modeCode = 0;  // mode code of the last matching entry
};

// The carrier mode a mode code selects: 1 or 0 single-carrier, 2 multi-carrier, the no-value
// mark for codes without a mode.
int32_t CarrierModeOfCode(uint16_t modeCode);

// Returns 1 when it ran, 0 for an empty packet. Sets `carrierMode` from every matching entry.
int ParseCarrierMode(int32_t& carrierMode, PacketView packet, CarrierModeRecord& rec);

// Publishes the carrier mode as 0x7F01830A whenever it is known, changed by the packet or not.
void HandleCarrierMode128A(DecoderContext& ctx, PacketView packet, int32_t extra);
// Adds the payload's first two bytes, high byte first, to the item's message code.
void HandleMessageCodeRefinement(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

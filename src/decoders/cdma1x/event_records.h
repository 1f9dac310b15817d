// Identified event records: log codes 0x10F2, 0x10F4, 0x10F5, 0x10F8 and 0x1100.
//
// The five share a record header with a 16-bit identifier. The identifier is added to the
// report item's message code (so a host tells the events apart) and selects which packet bytes
// become parameters. Parameter bytes are fixed packet offsets; bytes beyond the packet read 0.
#pragma once

#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

// The common header, read from the payload start.
struct EventHeader {
    uint8_t first = 0;
    uint16_t field1 = 0;
    uint32_t field3 = 0;
    uint32_t field7 = 0;
    uint8_t field11 = 0;
    uint8_t field12 = 0;
    uint16_t identifier = 0;
    uint8_t subIdentifier = 0;  // read for 0x10F5 only
};

// Returns 1 when it ran, 0 for an empty packet.
int ParseEventHeader(PacketView packet, EventHeader& header, bool withSubIdentifier);

// The cause that a 0x10F5 event reports: the low 5 bits of a packet byte chosen by the event
// type (byte 31) and bit 7 of byte 32; -1 when the type has no cause.
int32_t SelectEventCause(PacketView packet);

void HandleEvent10F2(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleEvent10F4(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleEvent10F5(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleEvent10F8(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleEvent1100(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

// The state bytes of the second air interface: log code 0x107E.
//
// Nine state bytes are published as 0x7F018301 to 0x7F018309. The state (r0) and sub-state (r4)
// drive the mode value ModeC103, published as 0x7F01C103: in mode 0 the second interface's
// measurements are withdrawn, and entering state 5 (mode 2) withdraws the 1x frame statistics.
// The context keeps the last state (it gates the sampling of log code 0x108A) and the last r8
// (it gates ClearParamGroupC).
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"

namespace tessavo {

struct DecoderContext;

struct StateByteRecord {
    std::array<uint8_t, 9> r{};  // r0 state, r4 sub-state
};

// Returns 1 when it ran, 0 for an empty packet.
int ParseStateBytes(PacketView packet, StateByteRecord& rec);

// The mode value after a record with state r0, sub-state r4 and byte r6.
uint16_t NextModeC103(uint16_t mode, uint8_t r0, uint8_t r4, uint8_t r6);

void HandleStateBytes(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

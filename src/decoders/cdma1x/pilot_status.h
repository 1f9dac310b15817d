// Pilot sets status: the response to command 0x40 (also wrapped as log code 0x3040), which lists
// the active, candidate and neighbour sets. It replaces the pilot table with them.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/decoder.h"

namespace tessavo {

inline constexpr int kMaxStatusPilots = 64;

struct StatusPilot {
    uint16_t pn = 0;
    uint16_t strength = 0;  // -Ec/Io in half-dB steps
};

// Published whole as 0x7F0107D4 (261 bytes).
struct PilotStatusRecord {
    uint16_t firstField = 0;
    // Pilots kept per set (active, candidate, neighbour): the reported sizes less the PN-0
    // entries, which are dropped.
    std::array<uint8_t, 3> setSizes{};
    std::array<StatusPilot, kMaxStatusPilots> pilots{};
    int stored = 0;  // not published
};

// `packet` is the response as a byte string that starts with the command byte 0x40.
void ParsePilotSetsStatus(PacketView packet, PilotStatusRecord& rec);

// Structured handler only (command 0x40 and log code 0x3040).
void HandlePilotSetsStatus(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

// Pilot-set and finger logs 0x102D (fixed layout) and 0x119A (typed sub-records).
//
// Both report the rake fingers and the receive / transmit power. The param handler publishes
// the power values, feeds the fingers into the pilot table and publishes the pilot summary
// and the reference pilot; the structured handler publishes a copy of the pilot table and the
// list of locked fingers.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/decoder.h"
#include "params/param_lists.h"

namespace tessavo {

inline constexpr int kMaxFingers = 64;
inline constexpr int kMaxListedFingers = 12;

struct FingerSlot {
    int32_t pn = 0;
    float energy = 0.0f;  // raw searcher energy; summed per PN before conversion to Ec/Io
};

// What the param handler needs from one packet.
struct PilotSetRecord {
    std::array<FingerSlot, kMaxFingers> fingers{};
    int32_t fingerCount = kNoValue;
    float rxPower = kNoValueF;           // dBm, within [-130, -30]
    float openLoopEstimate = kNoValueF;  // dBm, within [-60, 30]
    float txGainAdjust = kNoValueF;      // dB
    float txPower = kNoValueF;           // dBm, within [-60, 23]
    uint16_t channel = 0;                // CDMA channel; 0x119A only
};

struct ListedFinger {
    uint16_t pn = 0;
    double ecio = 0.0;  // dB
    uint32_t word = 0;  // copied from the finger entry as it stands
};

// The locked fingers, as published in 0x7F0107D5 (172 bytes).
struct FingerListRecord {
    uint32_t count = 0;
    std::array<ListedFinger, kMaxListedFingers> fingers{};
};

void ParsePilotSets102D(PacketView packet, PilotSetRecord& rec);
void ParsePilotSets119A(PacketView packet, PilotSetRecord& rec);
// Both return true when the finger list is to be published.
bool ParseFingerList102D(PacketView packet, FingerListRecord& rec);
bool ParseFingerList119A(PacketView packet, FingerListRecord& rec);

void HandlePilotSetsParams102D(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandlePilotSetsStruct102D(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandlePilotSetsParams119A(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandlePilotSetsStruct119A(DecoderContext& ctx, PacketView packet, int32_t extra);

// The reference-pilot values (0x7F01000A, 0x7F01000E, 0x7F010011) from the pilot table and
// the context's reference PN; also used when a pilot strength measurement names the reference.
void PublishReferencePilot(DecoderContext& ctx, ParamRun& run);

}  // namespace tessavo

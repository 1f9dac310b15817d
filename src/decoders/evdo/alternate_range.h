// Alternate-range EV-DO logs (0x9xxx), sent by handsets of another generation for the same
// single-carrier measurements as some 0x1xxx logs, and published under the same IDs:
//
// - 0x9068: load and best rate index (as 0x1068);
// - 0x9280: quarter value and flag bit (as 0x1280);
// - 0x927E: reverse-link share and growth, continuing the history of 0x127E;
// - 0x9192: forward rates from counters the handset has already summed, continuing the
//   single-carrier history and last values of 0x1192;
// - 0x927D: one ratio entry (as the first entry of 0x127D);
// - 0x9193: the second table's rates and totals from summed counters, continuing the history
//   of 0x1193 and reading the last values of 0x1192 / 0x9192.
//
// Each has a parser and a param handler only. Their fields sit at fixed payload offsets and are
// read through the bounded payload view: a field beyond a short payload reads 0. Every handler
// does nothing at all, not even parse, while the carrier mode is 2 (multi-carrier).
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "decoders/evdo/forward_packet_stats.h"
#include "decoders/evdo/reverse_packet_stats.h"

namespace tessavo {

struct DecoderContext;

struct Record9068 {
    uint16_t level = 0;     // load x 16384 / 100
    uint8_t rateIndex = 0;  // DRC index
    uint8_t unused = 0;
};

struct Record9280 {
    uint8_t quarterValue = 0;  // published / 4
    uint8_t flags = 0;         // bit 0: the flag bit
};

// Four running counters. Against the history of 0x127E, a plays the good count, b the count of
// all packets and d the bits of packets not good.
struct Record927E {
    uint32_t errorCount = 0;  // a
    uint32_t totalCount = 0;  // b
    uint32_t spareCount = 0;  // s, kept in the history only
    uint32_t timeCount = 0;   // d
    float unused = 0;         // never formed
    float totalDelta = 0;     // new packets since the previous packet
    float errorPercent = 0;
    float timeDelta = 0;  // growth of d
};

// 0x9192 and 0x9193: the counter sums as the handset sends them.
struct SummedCounts {
    uint32_t time = 0;  // interval base T
    uint32_t countA = 0;
    uint64_t bitsA = 0;
    uint32_t countB = 0;
    uint64_t secondSum = 0;
};
struct Record9192 {
    SummedCounts counts;
    ForwardRates rates;
};
struct Record9193 {
    SummedCounts counts;
    SecondTableValues values;
};

struct Record927D {
    std::array<uint8_t, 4> b{};  // B0 to B3; the low nibble of B2 is the packet-size index
    std::array<uint16_t, 13> u{};
};

// Parsers: 1 when they ran, 0 for an empty packet. Those with state compute against it.
int Parse9068(PacketView packet, Record9068& rec);
int Parse9280(PacketView packet, Record9280& rec);
int Parse927E(ReverseHistory& history, PacketView packet, Record927E& rec);
int Parse9192(ForwardPacketStatsState& state, PacketView packet, Record9192& rec);
int Parse927D(PacketView packet, Record927D& rec);
int Parse9193(ForwardPacketStatsState& state, PacketView packet, Record9193& rec);

void HandleLoadRate9068(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleQuarter9280(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleReverseCounts927E(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSummedForwardStats9192(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRatioEntry927D(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleSummedSecondTable9193(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

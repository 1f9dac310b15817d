// EV-DO forward-link packet statistics: log codes 0x12A2 (one carrier of a multi-carrier set),
// 0x1192 and 0x1193 (single carrier).
//
// 0x12A2 and 0x1192 carry the same table of 56 packet counters, one per rate group and packet
// size; 0x1193 carries a smaller table of 13. From the counters the decoders derive four
// values: the rate over the packet's own interval base (`rateOverTime`), the rate since the
// previous packet (`rateSinceLast`), the rate over the counted slots (`rateOverSlots`) and the
// share of second-class (B) packets among the new ones (`bShare`). Rates are in bit/s with the
// link layer's 1024/1000 factor. 0x12A2 also publishes sums over the carriers of a set; 0x1193
// combines its values with the last ones of 0x1192 into totals.
//
// 0x12A2's scalar handler runs only while the carrier mode is 2 (multi-carrier); the handlers
// of 0x1192 and 0x1193 only while it is not. 0x12A2's structured handler runs in every mode.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "decoders/evdo/sector_table.h"

namespace tessavo {

struct DecoderContext;
class ParamRun;

// One carrier's counter sums at its last packet.
struct PacketCountHistory {
    uint32_t valid = 0;
    uint32_t countA = 0;     // sum of the A counters
    uint32_t countB = 0;     // sum of the B counters
    uint64_t bitsA = 0;      // A counters weighted by packet size (bits); wider than 32 bits only
                             // when the alternate range's summed form wrote it
    uint64_t secondSum = 0;  // written only by the alternate range's summed form
    uint32_t time = 0;       // interval base T of the packet
};

// What the last single-carrier 0x1192 packet derived, for the totals of 0x1193.
struct SingleCarrierLastValues {
    float overTime = -9999.0f;
    float sinceLast = -9999.0f;
    float overSlots = -9999.0f;
    float share = -9999.0f;  // reset to the no-value mark by every computation
    uint32_t deltaB = 0;     // new B packets behind `share`
    uint32_t delta = 0;      // new A and B packets behind `share`
};

// 0x12A2: the header and the 1285-byte counter block, copied whole.
inline constexpr int kCounterTableBytes12A2 = 1285;
struct PacketCountRecord {
    uint8_t first = 0;  // no output uses it
    uint32_t time = 0;  // interval base T
    uint8_t carrierCount = 0;
    uint8_t carrierIndex = 0;                             // low 4 bits of the byte; valid 0 to 2
    uint16_t fieldA = 0;                                  // 11 bits
    uint16_t fieldB = 0;                                  // 5 bits, carried into the blob only
    std::array<uint8_t, kCounterTableBytes12A2> table{};  // payload bytes 9 on: counter k at 4k
    float rateSinceLast = 0, rateOverSlots = 0, rateOverTime = 0, bShare = 0;
};

// The four values a single-carrier packet yields (the no-value mark where one is not formed).
struct ForwardRates {
    float overTime = 0;   // `rateOverTime`
    float sinceLast = 0;  // `rateSinceLast`
    float overSlots = 0;  // `rateOverSlots`
    float share = 0;      // `bShare`, percent
};

// What the second table (0x1193 and its summed form) yields: totals with the last
// single-carrier values, the packets behind the total share, then its own values.
struct SecondTableValues {
    ForwardRates totals;
    int32_t totalDeltaB = 0, totalDelta = 0;
    ForwardRates rates;
};

// The counter sums of one single-carrier packet: formed from the counter table, or brought
// already summed by the alternate range (whose bit sum is 64 bits wide).
struct ForwardCounts {
    uint32_t time = 0;  // interval base T
    uint32_t countA = 0;
    uint32_t countB = 0;
    uint64_t bitsA = 0;
    uint64_t secondSum = 0;  // summed form only; kept in the history, read by nothing
};

// 0x1192: payload bytes 0 to 1287 (T, then counter k at 4 + 4k, then further words).
inline constexpr int kPayloadBytes1192 = 1288;
struct Record1192 {
    std::array<uint8_t, kPayloadBytes1192> bytes{};
    ForwardRates rates;
};

// 0x1193: payload bytes 0 to 159 (T, the 13 counters from byte 4, eight arrays from byte 56).
inline constexpr int kPayloadBytes1193 = 160;
struct Record1193 {
    std::array<uint8_t, kPayloadBytes1193> bytes{};
    SecondTableValues values;
};

// Per-log-code state of this family, a member of the decoder context.
struct ForwardPacketStatsState {
    std::array<PacketCountHistory, kCarrierCount> carriers{};  // 0x12A2, by carrier index
    PacketCountHistory single;                                 // 0x1192
    SingleCarrierLastValues last;                              // 0x1192, read by 0x1193
    PacketCountHistory second;                                 // 0x1193

    // The parse records and the blob of the packet being decoded: large, so kept here rather
    // than on the stack. Each handler zeroes what it uses.
    PacketCountRecord record12A2;
    Record1192 record1192;
    Record1193 record1193;
    std::array<uint8_t, 1356> blob{};  // the larger of the 0x12A2 and 0x1192 blobs
};

// Rate in bit/s of `bits` per time unit, with the link layer's 1024/1000 factor, in single
// precision.
inline float ForwardBitRate(float bits) {
    return 1024.0f * bits / 1000.0f;
}

// The single-carrier step shared by 0x1192 and its summed form: rates from `counts` and the
// single-carrier history, which it then updates, and the last values kept for the totals. The
// B share is held within 0 to 100 % when `clampShare` is set.
void DeriveSingleCarrierRates(ForwardPacketStatsState& state, const ForwardCounts& counts,
                              bool clampShare, ForwardRates& out);
// The second-table step shared by 0x1193 and its summed form: own values against the second
// history, then the totals with the last single-carrier values. `overTime` is the packet's
// over-time rate (no-value mark when T is not positive), which the two forms round differently.
void DeriveSecondTableValues(ForwardPacketStatsState& state, const ForwardCounts& counts,
                             float overTime, SecondTableValues& out);
// The single-carrier parameters (0x7F018401 to 0x7F018407) and the second-table ones
// (0x7F018404 to 0x7F018408 and the totals), each when formed, in publishing order.
void PublishSingleCarrierRates(ParamRun& run, const ForwardRates& r);
void PublishSecondTableValues(ParamRun& run, const SecondTableValues& v);

// Growth of a cumulative bit sum since `before`. Sums that fit 32 bits wrap at 2^32, so their
// difference is taken modulo 2^32; a wider sum that fell since `before` gives none (false).
bool BitSumGrowth(uint64_t now, uint64_t before, uint64_t& growth);

// Parsers: 1 when they ran, 0 for an empty packet; 0x12A2 also gives 0 for a carrier index
// above 2 (rates not computed, history untouched). With `compute` false 0x1192 and 0x1193
// only read the record and leave the state alone.
int ParsePacketCounts12A2(ForwardPacketStatsState& state, PacketView packet,
                          PacketCountRecord& rec);
int ParsePacketCounts1192(ForwardPacketStatsState& state, PacketView packet, Record1192& rec,
                          bool compute);
int ParsePacketCounts1193(ForwardPacketStatsState& state, PacketView packet, Record1193& rec,
                          bool compute);

void HandleForwardStatsParams12A2(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleForwardStatsStruct12A2(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleForwardStatsParams1192(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleForwardStatsStruct1192(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleForwardStatsParams1193(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleForwardStatsStruct1193(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

// EV-DO reverse-link packet statistics: log codes 0x127E (single carrier) and 0x129F (one
// carrier of a multi-carrier set).
//
// Both carry a block of three groups of 24 packet-count entries, one entry per packet size
// class (12 sizes, twice). Word 4 of an entry counts the good packets, word 5 all packets.
// Between two packets the decoders derive the share of good packets among the new ones and the
// growth of the bits sent in packets that were not good; 0x127E also a rate over the packet's
// own duration field, 0x129F a rate over its time field, summed over the carriers of a set.
//
// 0x127E runs while the carrier mode is not 2; 0x129F's scalar handler only while it is 2, its
// structured handler in every mode.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "decoders/evdo/sector_table.h"

namespace tessavo {

struct DecoderContext;
class ParamRun;

inline constexpr int kReverseGroups = 3;
inline constexpr int kReverseEntries = 24;  // per group: 12 size classes, twice
inline constexpr int kReverseEntryWords = 6;
inline constexpr int kReverseGroupBytes = (kReverseEntries * kReverseEntryWords + 1) * 4;
inline constexpr int kReverseBlockBytes = kReverseGroups * kReverseGroupBytes;
static_assert(kReverseBlockBytes == 1740);

// Totals over the 72 entries, 32-bit and wrapping.
struct ReverseTotals {
    uint32_t good = 0;      // A: sum of word 4
    uint32_t all = 0;       // T: sum of word 5
    uint32_t badBits = 0;   // X: sum of (word 5 - word 4) x size
    uint32_t goodBits = 0;  // Y: sum of word 4 x size
};

// The totals at a carrier's last packet.
struct ReverseHistory {
    uint32_t valid = 0;
    uint32_t lastBad = 0;   // T - A
    uint32_t lastGood = 0;  // A
    uint32_t lastX = 0;
    uint32_t lastY = 0;
    uint32_t time = 0;  // 0x129F only
};

// 0x127E: version 1 brings a duration word D before the block, version 0 only the block.
struct Record127E {
    uint8_t version = 0;
    uint32_t duration = 0;  // D, version 1
    std::array<uint8_t, kReverseBlockBytes> block{};
    float groupRate = 0, share = 0, bitDelta = 0;  // no-value mark when not computed
};

// 0x129F: the header of 0x12A2, then the block.
struct Record129F {
    uint8_t first = 0;
    uint32_t time = 0;
    uint8_t carrierCount = 0;
    uint8_t carrierIndex = 0;  // low 4 bits of the byte; valid 0 to 2
    uint16_t fieldA = 0;       // 11 bits
    uint16_t fieldB = 0;       // 5 bits
    std::array<uint8_t, kReverseBlockBytes> block{};
    bool wholeBlock = false;  // the packet holds all of the block
    float share = 0, bitRate = 0;
};

// Per-log-code state of this family, a member of the decoder context.
struct ReversePacketStatsState {
    ReverseHistory single;                                 // 0x127E
    std::array<ReverseHistory, kCarrierCount> carriers{};  // 0x129F, by carrier index

    // Parse records and blob of the packet being decoded, kept here rather than on the stack.
    Record127E record127E;
    Record129F record129F;
    std::array<uint8_t, 2484> blob{};  // the larger of the 0x127E and 0x129F blobs
};

ReverseTotals SumReverseBlock(const uint8_t* block);
// Keeps a packet's totals as the history's last ones.
void RememberReverseTotals(ReverseHistory& h, const ReverseTotals& s);
// The single-carrier share of good packets (percent) and growth of the bits of packets not
// good, as 0x7F018207 and 0x7F018205, each when formed; shared with the alternate range's
// summed form.
void PublishReverseShareAndGrowth(ParamRun& run, float share, float growth);

// Parsers: 1 when they ran; 0 for an empty packet and, for 0x127E, a version other than 0 or
// 1 (nothing read). With `compute` false they only read the record and leave the state alone.
int ParseReverseStats127E(ReverseHistory& history, PacketView packet, Record127E& rec,
                          bool compute);
int ParseReverseStats129F(ReversePacketStatsState& state, PacketView packet, Record129F& rec,
                          bool compute);

void HandleReverseStatsParams127E(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleReverseStatsStruct127E(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleReverseStatsParams129F(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleReverseStatsStruct129F(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

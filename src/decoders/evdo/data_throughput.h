// Data throughput of the data link instances: log code 0x1070.
//
// Each packet carries cumulative byte counters of one instance. Successive packets give two
// kinds of rate: a long-term one (bytes since the counters' reset time) with ratios of the
// counters, and an instantaneous one (bytes since the previous packet). A packet of instance 1
// only updates its place; the next packet of instance 0 reports the sums over all places.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "common/time_pair.h"

namespace tessavo {

struct DecoderContext;

inline constexpr int kThroughputPlaces = 4;

// What one instance place keeps between packets.
struct ThroughputPlace {
    // Long-term stage: the counters' reset time and the counters at the previous packet.
    bool hasReset = false;
    std::array<uint8_t, 8> resetStamp{};
    TimePair resetTime{0, 0};
    uint64_t prev49 = 0, prev33 = 0, prev25 = 0, prev81 = 0, prev65 = 0;
    // Results: rate of C49 (bit/s), C33 / C49 and C25 / C49 (percent), rate of C81 (bit/s),
    // C65 / C81 (percent).
    float r760 = -9999.0f, r761 = -9999.0f, r762 = -9999.0f, r763 = -9999.0f, r764 = -9999.0f;

    // Instantaneous stage: the previous packet time and counters.
    bool hasPrevTime = false;
    TimePair prevTime{0, 0};
    uint64_t instPrev49 = 0, instPrev81 = 0;
    float r840 = -9999.0f, r841 = -9999.0f;  // rates of C49 and C81 (bit/s)
};

// Per-log-code state of this family, a member of the decoder context.
struct DataThroughputState {
    TimePair packetTime{0, 0};
    std::array<ThroughputPlace, kThroughputPlaces> places{};
};

// The record as read, with the computed fields at their record offsets' names.
struct ThroughputRecord {
    uint8_t instance = 0;
    std::array<uint8_t, 8> resetStamp{};
    uint32_t wordA = 0, wordB = 0;
    uint64_t c17 = 0, c25 = 0, c33 = 0, c41 = 0, c49 = 0;
    uint32_t word57 = 0, word61 = 0;
    uint64_t c65 = 0, c73 = 0, c81 = 0;
    std::array<uint32_t, 5> words89{};
    // Computed, no-value mark when unknown.
    float longRate49 = 0;  // record offset 109: summed long-term rate of C49 (bit/s)
    float ratio25 = 0;     // 113: mean C25 / C49 (percent)
    float ratio33 = 0;     // 117: mean C33 / C49 (percent)
    float instRate49 = 0;  // 121: summed instantaneous rate of C49 (bit/s)
    float longRate81 = 0;  // 125: summed long-term rate of C81 (bit/s)
    float ratio65 = 0;     // 129: mean C65 / C81 (percent)
    float instRate81 = 0;  // 133: summed instantaneous rate of C81 (bit/s)
};

// Returns 1 when it ran, 0 for an empty packet.
int ParseDataThroughput(DataThroughputState& state, PacketView packet, ThroughputRecord& rec);

void HandleDataThroughput(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

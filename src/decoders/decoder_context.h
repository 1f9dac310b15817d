// All decoding state of one decoder object, kept between packets: the parameter store and
// the state of every decoder family, each family's state type living with its family.
#pragma once

#include <array>
#include <cstdint>

#include "common/time_pair.h"
#include "decoders/cdma1x/frame_power_stats.h"
#include "decoders/cdma1x/pilot_table.h"
#include "decoders/evdo/data_throughput.h"
#include "decoders/evdo/flow_throughput.h"
#include "decoders/evdo/forward_packet_stats.h"
#include "decoders/evdo/reverse_packet_stats.h"
#include "decoders/evdo/second_range_scratch.h"
#include "decoders/evdo/sector_table.h"
#include "params/param_store.h"

namespace tessavo {

inline constexpr int kFrameCapacity = 7168;

// Per-code throttle state: at most one packet per interval passes.
struct SamplingRecord {
    int32_t hasLast = 0;
    int32_t lastSeconds = 0;
    int32_t lastMicroseconds = 0;
    double interval = 0.0;  // seconds
};

inline constexpr int kSamplingRecordCount = 30;
// Throttle intervals in seconds, by sampling-record index.
inline constexpr std::array<double, kSamplingRecordCount> kSamplingIntervals = {
    0.5, 0.5, 0.5,  0.5, 0.5, 0.5, 1.0, 1.0, 1.0,  1.0, 0.8, 0.2, 0.5, 0.5, 0.4,
    0.2, 0.5, 0.25, 0.2, 0.5, 0.2, 0.2, 0.5, 0.25, 0.5, 0.2, 0.2, 0.2, 1.0, 0.2};

// The parameter store comes first, so the context begins with the current report item.
struct DecoderContext : ParamStore {
    uint32_t moduleType = 0;
    uint8_t reencodeEnabled = 0;
    uint8_t rawPacketMode = 0;

    TimePair firstHostTime{kNoValue, kNoValue};
    TimePair firstDiagTime{kNoValue, kNoValue};
    std::array<uint8_t, 8> lastDiagStamp{};

    // The packet being dispatched: unescaped, with CRC and terminator, as the dispatcher holds it.
    int32_t packetLength = 0;
    std::array<uint8_t, kFrameCapacity> packet{};

    std::array<SamplingRecord, kSamplingRecordCount> sampling{};

    // --- State shared by several log decoders (see each family for its meaning) ---
    int32_t marker107C = 55537;
    double rxPowerX1000 = kNoValueD;    // last receive power (dBm) x 1000, from the pilot-set logs
    int32_t lastChannel = kNoValue;     // last CDMA channel number heard
    int32_t referencePilot = kNoValue;  // PN of the reference pilot
    int32_t activePilotCount = 0;       // source-0 pilots in the table at the last pilot summary
    PilotTable pilotTable;
    // Sector values of the second air interface, and its carrier mode.
    int32_t referenceValue = kNoValue;   // channel last published as 0x7F01800D
    double lastValue018001 = kNoValueD;  // last 0x7F018001 as stored (dBm x 1000)
    int32_t referenceSector = kNoValue;  // sector last published as 0x7F01800F
    double bestLevelX1000 = kNoValueD;   // best sector level x 1000, last 0x7F018007
    int32_t carrierMode = kNoValue;      // from log code 0x128A: 2 multi-carrier, 0 or 1 single
    SectorTable sectorTable;             // sectors tracked (0x108A, 0x108B, 0x12A1)
    CarrierRateValues carrierRates;      // channel and receive level per carrier (0x1295, 0x129C)
    int32_t lastValue018302 = -1;        // last 0x7F018302, written by the state-byte decoder
    std::array<double, 21> rateHistory{};
    uint8_t directParamSwitch127E = 0;
    uint8_t flag1068And1192 = 0;

    // --- Per-log-code decoder state: add named members below, one per family ---
    FramePowerStatsState framePowerStats;         // 0x1031 counters
    DataThroughputState dataThroughput;           // 0x1070 instance places
    ForwardPacketStatsState forwardPacketStats;   // 0x12A2, 0x1192, 0x1193 histories
    ReversePacketStatsState reversePacketStats;   // 0x127E, 0x129F histories
    FlowThroughputState flowThroughput;           // 0x1275, 0x1276, 0x12A5, 0x12A6 flow histories
    SecondRangeScratch secondScratch;             // parse records of the large multi-carrier logs
    std::array<uint8_t, 9401> reencodeScratch{};  // escaped compact form, worst case (reencode)

    DecoderContext();
};

}  // namespace tessavo

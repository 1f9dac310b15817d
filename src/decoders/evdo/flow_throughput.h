// Flow throughput logs: 0x1276 and 0x12A5 (forward link), 0x1275 and 0x12A6 (reverse link).
//
// Each packet carries the cumulative byte counters of one of up to 32 flows. Per flow the
// decoder keeps the counting base and derives three values: the rate since the flow started,
// the share of one counter in the other, and the rate since the flow's previous packet. A
// packet of flow 0 publishes the sums (and the average share) over every flow that reported
// since the previous flow-0 packet. Each log code keeps a history of its own.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "common/time_pair.h"

namespace tessavo {

struct DecoderContext;

inline constexpr int kMaxFlows = 32;

// The counting base and derived values of one flow; -9999.0 marks a value not pending.
struct FlowStartPart {
    TimePair time{0, 0};
    uint64_t stamp = 0;  // the flow's start stamp (DIAG time) at the last counting base
    uint64_t lastBytes = 0, lastCount = 0;
    float startRate = 0.0f;  // kbit/s since the flow's start
    float share = 0.0f;      // counter N over byte counter B since the last base, percent
};
struct FlowIntervalPart {
    TimePair time{0, 0};
    uint64_t lastBytes = 0;
    float intervalRate = 0.0f;  // kbit/s since the flow's previous packet
};
struct FlowHistory {
    std::array<FlowStartPart, kMaxFlows> start{};
    std::array<FlowIntervalPart, kMaxFlows> interval{};
};

// Which history a log code keeps.
enum class FlowLog : uint8_t { Forward1276, Reverse1275, Forward12A5, Reverse12A6, Count };

struct FlowThroughputState {
    TimePair now{0, 0};  // time stamp of the packet being parsed
    std::array<FlowHistory, static_cast<size_t>(FlowLog::Count)> histories{};
};

inline constexpr int kMaxFlowRecord = 164;
// A flow record: the payload fields at their payload offsets as read, and the computed values.
struct FlowRecord {
    std::array<uint8_t, kMaxFlowRecord> raw{};
    uint8_t flow = 0;
    bool skip = false;
    float startRateSum = -9999.0f;     // kbit/s
    float shareAverage = -9999.0f;     // percent
    float intervalRateSum = -9999.0f;  // kbit/s
};

// Reads the record and, when `update` is set, runs the flow history computation.
int ParseFlow(FlowThroughputState& state, FlowLog log, PacketView packet, bool update,
              FlowRecord& rec);

// The four flow logs (0x1276, 0x1275, 0x12A5, 0x12A6); the route passes the log code.
void HandleFlowParams(DecoderContext& ctx, PacketView packet, int32_t logCode);
void HandleFlowStruct(DecoderContext& ctx, PacketView packet, int32_t logCode);

}  // namespace tessavo

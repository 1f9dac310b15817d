// Frame and power statistics of the 1x traffic channel: log codes 0x1025, 0x1026, 0x1029,
// 0x102B, 0x102C, 0x1031 and 0x100E.
//
// These records have a fixed layout: values sit at fixed byte offsets of the payload (counted
// from packet byte 16), and groups of frame records are walked by their own length fields. The
// parsers read them through the bounded PacketView and turn them into averages, shares in
// percent and rates; the handlers publish those.
#pragma once

#include <array>
#include <cstdint>

#include "bits/packet_view.h"
#include "common/time_pair.h"

namespace tessavo {

struct DecoderContext;

// What 0x1031 keeps from one packet to the next.
struct TrafficCounterHistory {
    bool hasPrevious = false;
    TimePair time{0, 0};
    std::array<uint8_t, 8> resetStamp{};
    // Counters A, B, C, D, E, G at payload bytes 54, 82, 9, 50, 66, 78.
    uint32_t a = 0, b = 0, c = 0, d = 0, e = 0, g = 0;
};

// Per-log-code state of this family, a member of the decoder context.
struct FramePowerStatsState {
    TrafficCounterHistory counters1031;
};

// 0x1025 / 0x1026: mean of the 14-bit quality words of the frame entries.
struct FrameEntryMeanRecord {
    int32_t entries = 0;  // entries actually summed
    uint64_t sum = 0;
    int32_t mean = 0;  // sum / entries x 100, truncated; 0 without entries
};

// 0x1029: share of the expected rate per code channel, in percent.
struct RateShareRecord {
    std::array<std::array<uint32_t, 5>, 4> histogram{};  // [channel][rate index 0..4]
    std::array<float, 4> share{};                        // no-value mark when unknown
};

// 0x102B: per-channel average of the signed samples, in units of 1/8.
struct ChannelAverageRecord {
    std::array<int64_t, 4> sum{};
    uint32_t frames = 0;
    std::array<float, 4> value{};
    std::array<bool, 4> valid{};
};

// 0x102C: receive and transmit power of the last group and the per-channel power.
struct ChannelPowerRecord {
    uint8_t bandClass = 0;
    float rxPower = 0;     // dBm, clamped to [-130, -30]
    float gainAdjust = 0;  // dB
    float txPower = 0;     // dBm, clamped to [-60, 30]
    float openLoopTx = 0;  // dBm, clamped to [-60, 23]
    std::array<float, 4> value{};
    std::array<bool, 4> valid{};
};

// 0x1031: throughput rates (bits per second) and shares (percent) from counter differences.
struct TrafficCounterRecord {
    int32_t rateA = 0;
    int32_t rateB = 0;
    float shareC = 0;
    float shareE = 0;
};

// 0x100E: frame categories folded into twelve rows of four columns.
struct FrameCategoryRecord {
    std::array<uint32_t, 50> out{};  // word 4 x row + column; words 48 and 49 stay 0
    float share1 = 0;
    float share2 = 0;
};

// Parsers: each returns true when the record is complete. They publish nothing.
bool ParseFrameEntryMean(PacketView packet, FrameEntryMeanRecord& rec);
bool ParseRateShares(PacketView packet, RateShareRecord& rec);
bool ParseChannelAverages(PacketView packet, ChannelAverageRecord& rec);
bool ParseChannelPower(PacketView packet, ChannelPowerRecord& rec);
bool ParseTrafficCounters(TrafficCounterHistory& history, PacketView packet,
                          TrafficCounterRecord& rec);
bool ParseFrameCategories(PacketView packet, FrameCategoryRecord& rec);

// Handlers (LogHandler signature). `extra` is the log code for 0x1025 / 0x1026.
void HandleFrameEntryMean(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleRateShares(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleChannelAverages(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleChannelPower(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleTrafficCounters(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleFrameCategoryParams(DecoderContext& ctx, PacketView packet, int32_t extra);
void HandleFrameCategoryStruct(DecoderContext& ctx, PacketView packet, int32_t extra);

}  // namespace tessavo

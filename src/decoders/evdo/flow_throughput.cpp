#include "decoders/evdo/flow_throughput.h"

#include <algorithm>
#include <cstring>

#include "bits/conversions.h"
#include "bits/diag_time.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

struct FlowLayout {
    std::array<uint8_t, 32> widths;  // field widths in bytes, in reading order; 0 ends the list
    int startStampAt, countAt, bytesAt;
    bool packedIndex;  // flow index in bits 0-4 and a skip flag in bit 5 of the u16 at 1
    ParamRef startRate, share, intervalRate;
    float intervalMax;  // clamp of the interval-rate sum; 0 for none
};

constexpr ParamRef kForwardStart = Param(0x7F018101), kForwardInterval = Param(0x7F018102);
constexpr ParamRef kForwardShare = Param(0x7F018106);
constexpr ParamRef kReverseStart = Param(0x7F018103), kReverseInterval = Param(0x7F018104);
constexpr ParamRef kReverseShare = Param(0x7F018107);

// Indexed by FlowLog.
constexpr FlowLayout kLayouts[] = {
    {{1, 1, 8, 4, 8, 8, 8, 8, 4, 4, 4, 4, 4},
     2,
     22,
     38,
     false,
     kForwardStart,
     kForwardShare,
     kForwardInterval,
     14700000.0f},
    {{1, 1, 8, 4, 8, 8, 8, 8, 4, 4, 4, 4},
     2,
     22,
     38,
     false,
     kReverseStart,
     kReverseShare,
     kReverseInterval,
     5670000.0f},
    {{1, 2, 1, 1, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 4, 8, 4, 4, 4, 4, 8, 4, 4, 4, 1},
     5,
     45,
     61,
     true,
     kForwardStart,
     kForwardShare,
     kForwardInterval,
     14700000.0f},
    {{1, 2, 1, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 4, 4, 2, 2, 2, 2},
     140,
     116,
     4,
     true,
     kReverseStart,
     kReverseShare,
     kReverseInterval,
     0.0f},
};

constexpr int LayoutSize(const FlowLayout& l) {
    int n = 0;
    for (uint8_t w : l.widths) n += w;
    return n;
}
static_assert(LayoutSize(kLayouts[0]) == 66 && LayoutSize(kLayouts[1]) == 62);
static_assert(LayoutSize(kLayouts[2]) == 158 && LayoutSize(kLayouts[3]) == kMaxFlowRecord);

const FlowLayout& LayoutOf(FlowLog log) {
    return kLayouts[static_cast<size_t>(log)];
}

bool IsZero(TimePair t) {
    return t.seconds == 0 && t.microseconds == 0;
}

// kbit/s of `bytes` over `seconds`: the bit rate rounded to single precision, then scaled by
// 1024 / 1000.
float KbitRate(uint64_t bytes, double seconds) {
    const float bitRate = static_cast<float>(static_cast<double>(bytes * 8) / seconds);
    return static_cast<float>(1024.0 * bitRate / 1000.0);
}

void UpdateStartPart(FlowHistory& h, int k, TimePair now, uint64_t stamp, uint64_t bytes,
                     uint64_t count) {
    FlowStartPart& s = h.start[static_cast<size_t>(k)];
    // The first packet of a flow drops what every flow had pending.
    for (FlowStartPart& e : h.start) {
        if (IsZero(s.time) || &e == &s) e.startRate = e.share = kNoValueF;
    }
    const TimePair startTime = DiagTimeToPair(stamp);
    // A start stamp in another second is a new flow: count from zero again.
    if (DiagSecondsDiffer(stamp, s.stamp)) {
        s.time = startTime;
        s.lastBytes = 0;
        s.lastCount = 0;
    }
    const double sinceStart = PairDifference(now, startTime);
    s.startRate = sinceStart == 0.0 ? 0.0f : KbitRate(bytes, sinceStart);
    const int64_t grown = static_cast<int64_t>(bytes - s.lastBytes);
    if (grown > 0) {
        const int64_t counted = static_cast<int64_t>(count - s.lastCount);
        s.share =
            static_cast<float>(static_cast<double>(counted) * 100.0 / static_cast<double>(grown));
        s.time = now;
        s.stamp = stamp;
        s.lastBytes = bytes;
        s.lastCount = count;
    }
}

void UpdateIntervalPart(FlowHistory& h, int k, TimePair now, uint64_t bytes) {
    FlowIntervalPart& iv = h.interval[static_cast<size_t>(k)];
    for (FlowIntervalPart& e : h.interval) {
        if (IsZero(iv.time) || &e == &iv) e.intervalRate = kNoValueF;
    }
    if (bytes >= iv.lastBytes && iv.time.seconds != now.seconds && iv.time.seconds != 0) {
        const float elapsed = static_cast<float>(PairDifference(now, iv.time));
        if (elapsed > 0.0f) {
            iv.intervalRate = KbitRate(bytes - iv.lastBytes, elapsed);
            iv.lastBytes = bytes;
            iv.time = now;
        }
    } else {
        iv.lastBytes = bytes;
        iv.time = now;
    }
}

// Flow 0 closes a round: sums (and the average share) over the flows that reported, then
// every pending value is dropped.
void CloseRound(FlowHistory& h, FlowRecord& rec) {
    float startSum = 0.0f, shareSum = 0.0f, intervalSum = 0.0f;
    int starts = 0, shares = 0, intervals = 0;
    for (int k = 0; k < kMaxFlows; ++k) {
        FlowStartPart& s = h.start[static_cast<size_t>(k)];
        FlowIntervalPart& iv = h.interval[static_cast<size_t>(k)];
        if (s.startRate != kNoValueF) startSum += s.startRate, ++starts;
        if (s.share != kNoValueF) shareSum += s.share, ++shares;
        if (iv.intervalRate != kNoValueF) intervalSum += iv.intervalRate, ++intervals;
        s.startRate = s.share = iv.intervalRate = kNoValueF;
    }
    if (starts > 0) rec.startRateSum = startSum;
    if (shares > 0) rec.shareAverage = shareSum / static_cast<float>(shares);
    if (intervals > 0) rec.intervalRateSum = intervalSum;
}

double DayNumberOf(uint64_t stamp) {
    return PairToDayNumber(DiagTimeToPair(stamp));
}

template <typename T>
T At(const FlowRecord& rec, int offset) {
    return LoadLE<T>(rec.raw.data() + offset);
}

void CopyRaw(uint8_t* out, const FlowRecord& rec, int from, int to) {
    std::memcpy(out, rec.raw.data() + from, static_cast<size_t>(to - from + 1));
}

void PublishSums(DecoderContext& ctx, FlowLog log, const FlowRecord& rec) {
    const FlowLayout& l = LayoutOf(log);
    ParamRun run(ctx);
    if (l.packedIndex && rec.flow != 0) return;
    float interval = rec.intervalRateSum;
    if (interval != kNoValueF && l.intervalMax != 0.0f) {
        interval = MaxFloat(MinFloat(interval, l.intervalMax), 0.0f);
    }
    const auto start = [&] {
        if (rec.startRateSum != kNoValueF) run.Set(l.startRate, TruncToI32(rec.startRateSum));
    };
    const auto share = [&] {
        if (rec.shareAverage != kNoValueF) {
            run.Set(l.share, TruncToI32(static_cast<double>(rec.shareAverage) * 100.0));
        }
    };
    const auto intervalRate = [&] {
        if (interval != kNoValueF) run.Set(l.intervalRate, TruncToI32(interval));
    };
    start();
    // 0x1276 lists its interval rate before the share (and has no value for 0x7F018105).
    if (log == FlowLog::Forward1276) {
        intervalRate();
        share();
    } else {
        share();
        intervalRate();
    }
}

// The flow logs by log code (the route table routes only these four here).
FlowLog FlowLogOf(int32_t logCode) {
    switch (logCode) {
        case 0x1276:
            return FlowLog::Forward1276;
        case 0x1275:
            return FlowLog::Reverse1275;
        case 0x12A5:
            return FlowLog::Forward12A5;
        default:
            return FlowLog::Reverse12A6;
    }
}

// The history is computed once per packet: by the scalar handler when it runs in this mode,
// else by the structured handler.
bool ScalarHandlerRuns(const DecoderContext& ctx, FlowLog log) {
    return log == FlowLog::Forward1276 || log == FlowLog::Reverse1275 || IsMultiCarrier(ctx);
}

void FlowParams(DecoderContext& ctx, PacketView packet, FlowLog log) {
    if (!ScalarHandlerRuns(ctx, log)) return;
    FlowRecord rec;
    ParseFlow(ctx.flowThroughput, log, packet, true, rec);
    PublishSums(ctx, log, rec);
}

void FlowStruct(DecoderContext& ctx, PacketView packet, FlowLog log) {
    FlowRecord rec;
    ParseFlow(ctx.flowThroughput, log, packet, !ScalarHandlerRuns(ctx, log), rec);
    std::array<uint8_t, 174> blob{};
    StructParamRef target{};
    switch (log) {
        case FlowLog::Forward1276:
            target = StructParam(0x7F0107E7);
            blob[0] = rec.raw[1];
            blob[1] = rec.raw[0];
            CopyRaw(blob.data() + 2, rec, 10, 65);
            StoreLE(blob.data() + 58, DayNumberOf(At<uint64_t>(rec, 2)));
            break;
        case FlowLog::Reverse1275:
            target = StructParam(0x7F0107E8);
            blob[0] = rec.raw[1];
            blob[1] = rec.raw[0];
            blob[2] = rec.raw[10];
            CopyRaw(blob.data() + 3, rec, 14, 61);
            StoreLE(blob.data() + 51, DayNumberOf(At<uint64_t>(rec, 2)));
            break;
        case FlowLog::Forward12A5: {
            target = StructParam(0x7F0107F2);
            const uint16_t w = At<uint16_t>(rec, 1);
            const uint16_t fields[6] = {
                static_cast<uint16_t>(w & 0x1F),        static_cast<uint16_t>((w >> 5) & 1),
                static_cast<uint16_t>((w >> 6) & 0x0F), static_cast<uint16_t>((w >> 10) & 0x0F),
                static_cast<uint16_t>((w >> 14) & 1),   static_cast<uint16_t>(w >> 15)};
            for (size_t i = 0; i < 6; ++i) StoreLE(blob.data() + 2 * i, fields[i]);
            blob[12] = rec.raw[3];
            blob[13] = rec.raw[4];
            StoreLE(blob.data() + 14, DayNumberOf(At<uint64_t>(rec, 5)));
            CopyRaw(blob.data() + 22, rec, 13, 136);
            StoreLE(blob.data() + 146, DayNumberOf(At<uint64_t>(rec, 137)));
            CopyRaw(blob.data() + 154, rec, 145, 157);
            break;
        }
        default: {
            target = StructParam(0x7F0107F3);
            const uint16_t w = At<uint16_t>(rec, 1);
            const uint16_t fields[7] = {static_cast<uint16_t>(w & 0x1F),
                                        static_cast<uint16_t>((w >> 5) & 1),
                                        static_cast<uint16_t>((w >> 8) & 0x0F),
                                        static_cast<uint16_t>(w >> 12),
                                        static_cast<uint16_t>((w >> 6) & 1),
                                        static_cast<uint16_t>((w >> 7) & 1),
                                        rec.raw[3]};
            for (size_t i = 0; i < 7; ++i) StoreLE(blob.data() + 2 * i, fields[i]);
            CopyRaw(blob.data() + 14, rec, 4, 131);
            StoreLE(blob.data() + 142, DayNumberOf(At<uint64_t>(rec, 132)));
            StoreLE(blob.data() + 150, DayNumberOf(At<uint64_t>(rec, 140)));
            CopyRaw(blob.data() + 158, rec, 148, 163);
            break;
        }
    }
    StructRun srun(ctx);
    srun.Set(target, blob.data(), target.capacity);
}

}  // namespace

int ParseFlow(FlowThroughputState& state, FlowLog log, PacketView packet, bool update,
              FlowRecord& rec) {
    const FlowLayout& l = LayoutOf(log);
    std::array<uint8_t, kDiagStampBytes> stamp{};
    packet.Copy(kLogOffsetTimeStamp, stamp.data(), stamp.size());
    state.now = DiagTimeToPair(stamp.data());
    const int ran = ReadLogRecord(packet, [&](FieldTemps& t) {
        int at = 0;
        for (uint8_t width : l.widths) {
            uint8_t* field = rec.raw.data() + at;
            switch (width) {
                case 1:
                    *field = ReadLe<uint8_t>(t);
                    break;
                case 2:
                    StoreLE(field, ReadLe<uint16_t>(t));
                    break;
                case 4:
                    StoreLE(field, ReadLe<uint32_t>(t));
                    break;
                case 8:
                    StoreLE(field, ReadLe<uint64_t>(t));
                    break;
                default:
                    break;
            }
            at += width;
        }
    });
    if (ran == 0) return 0;
    const uint16_t indexWord = At<uint16_t>(rec, 1);
    rec.flow = l.packedIndex ? static_cast<uint8_t>(indexWord & 0x1F) : rec.raw[1];
    rec.skip = l.packedIndex && (indexWord & 0x20) != 0;
    if (!update || rec.flow >= kMaxFlows || rec.skip) return 1;

    FlowHistory& h = state.histories[static_cast<size_t>(log)];
    const uint64_t bytes = At<uint64_t>(rec, l.bytesAt);
    UpdateStartPart(h, rec.flow, state.now, At<uint64_t>(rec, l.startStampAt), bytes,
                    At<uint64_t>(rec, l.countAt));
    UpdateIntervalPart(h, rec.flow, state.now, bytes);
    if (rec.flow == 0) CloseRound(h, rec);
    return 1;
}

void HandleFlowParams(DecoderContext& ctx, PacketView packet, int32_t logCode) {
    FlowParams(ctx, packet, FlowLogOf(logCode));
}

void HandleFlowStruct(DecoderContext& ctx, PacketView packet, int32_t logCode) {
    FlowStruct(ctx, packet, FlowLogOf(logCode));
}

}  // namespace tessavo

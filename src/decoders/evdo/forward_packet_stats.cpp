#include "decoders/evdo/forward_packet_stats.h"

#include <cstring>
#include <limits>

#include "bits/conversions.h"
#include "common/le.h"
#include "decoders/decoder_context.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/evdo/packet_stats_common.h"
#include "params/param_lists.h"
#include "params/struct_param_table.h"

namespace tessavo {
namespace {

// ---- The 56-counter table of 0x12A2 and 0x1192 ----

inline constexpr int kCounters = 56;

// A group holds one or more A counters, one per packet size (bits), then one B counter whose
// size is that of the group's largest A counter. Groups follow each other in the table.
struct CounterGroup {
    int first;   // index of the group's first A counter
    int aCount;  // A counters; the B counter follows them
    std::array<int, 4> sizes;
};
inline constexpr CounterGroup kGroups[] = {
    {0, 4, {128, 256, 512, 1024}},
    {5, 4, {128, 256, 512, 1024}},
    {10, 4, {128, 256, 512, 1024}},
    {15, 4, {128, 256, 512, 1024}},
    {20, 4, {128, 256, 512, 1024}},
    {25, 3, {512, 1024, 2048}},
    {29, 4, {128, 256, 512, 1024}},
    {34, 3, {512, 1024, 2048}},
    {38, 2, {1024, 3072}},
    {41, 3, {512, 1024, 2048}},
    {45, 1, {4096}},
    {47, 2, {1024, 3072}},
    {50, 1, {4096}},
    {52, 1, {5120}},
    {54, 1, {5120}},
};

// The blob form of the table: per group its A counters, their sum, then its B counter.
constexpr int GroupLayoutBytes() {
    int words = 0;
    int next = 0;
    for (const CounterGroup& g : kGroups) {
        if (g.first != next) return -1;  // groups must tile the table
        next = g.first + g.aCount + 1;
        words += g.aCount + 2;
    }
    return next == kCounters ? 4 * words : -1;
}
inline constexpr int kGroupLayoutBytes = GroupLayoutBytes();
static_assert(kGroupLayoutBytes == 284);

struct CounterSums {
    uint32_t countA = 0;  // wraps at 2^32
    uint32_t countB = 0;
    uint64_t bitsA = 0;
};

// `counter(k)` gives counter k of the table.
template <typename Counter>
CounterSums SumCounters(Counter counter) {
    CounterSums s;
    for (const CounterGroup& g : kGroups) {
        for (int i = 0; i < g.aCount; ++i) {
            const uint32_t c = counter(g.first + i);
            s.countA += c;
            s.bitsA += uint64_t{c} * static_cast<uint64_t>(g.sizes[static_cast<size_t>(i)]);
        }
        s.countB += counter(g.first + g.aCount);
    }
    return s;
}

template <typename Counter>
void WriteGroups(uint8_t* out, Counter counter) {
    for (const CounterGroup& g : kGroups) {
        uint32_t sumA = 0;
        for (int i = 0; i < g.aCount; ++i) {
            const uint32_t c = counter(g.first + i);
            sumA += c;
            StoreLE(out, c);
            out += 4;
        }
        StoreLE(out, sumA);
        StoreLE(out + 4, counter(g.first + g.aCount));
        out += 8;
    }
}

// Blob bytes carried unchanged from the packet: `length` bytes from payload offset `from`.
struct Carried {
    int from;
    int to;
    int length;
};

// ---- 0x12A2 ----

inline constexpr int kTableOffset12A2 = 9;  // payload offset of the counter block
inline constexpr StructParamRef kBlob12A2 = StructParam(0x7F0107EF);
inline constexpr int kBlobHeader12A2 = 12;  // fieldA, carrierIndex, fieldB
// Payload byte 1117 and blob bytes 984 to 999 carry nothing.
inline constexpr Carried kCarried12A2[] = {{233, 296, 688}, {937, 1000, 180}, {1118, 1180, 176}};
static_assert(kBlobHeader12A2 + kGroupLayoutBytes == kCarried12A2[0].to);
static_assert(kCarried12A2[2].to + kCarried12A2[2].length == static_cast<int>(kBlob12A2.capacity));
static_assert(kCarried12A2[2].from + kCarried12A2[2].length ==
              kTableOffset12A2 + kCounterTableBytes12A2);
static_assert(kBlob12A2.capacity <= std::tuple_size_v<decltype(ForwardPacketStatsState::blob)>);

// Rate kinds of the multi-carrier rate store, in rate-history slot order (kind x carrier).
enum RateKind { kSinceLast, kOverSlots, kOverTime, kShareX100 };

double& RateSlot(DecoderContext& ctx, RateKind kind, int carrier) {
    return ctx.rateHistory[static_cast<size_t>(kForwardRateSlot0 + kind * kCarrierCount + carrier)];
}

inline constexpr auto kCarrierShare = PerCarrier(0x408);
inline constexpr auto kCarrierSinceLast = PerCarrier(0x403);
inline constexpr auto kCarrierOverSlots = PerCarrier(0x404);
inline constexpr auto kCarrierOverTime = PerCarrier(0x402);

// Sums over the carriers of a set, from the rate store: per-carrier value, then the sum as the
// single-carrier parameter and as the total.
struct CarrierSum {
    RateKind kind;
    CarrierIds perCarrier;
    ParamRef single;
    ParamRef total;
    bool clamp;
};
inline constexpr CarrierSum kCarrierSums[] = {
    {kSinceLast, PerCarrier(0x302), Param(0x7F018402), Param(0x7F018202), true},
    {kOverSlots, PerCarrier(0x303), Param(0x7F018403), Param(0x7F018203), false},
    {kOverTime, PerCarrier(0x301), Param(0x7F018401), Param(0x7F018201), false},
};

void AggregateCarriers(DecoderContext& ctx, ParamRun& run) {
    for (const CarrierSum& row : kCarrierSums) {
        float sum = 0.0f;
        int n = 0;
        for (int c = 0; c < kCarrierCount; ++c) {
            const auto v = static_cast<float>(RateSlot(ctx, row.kind, c));
            if (v == kNoValueF) continue;
            sum += v;
            ++n;
            run.Set(row.perCarrier[static_cast<size_t>(c)], TruncToI32(v));
        }
        if (n == 0) continue;
        const int32_t total = TruncToI32(row.clamp ? ClampRate(sum) : sum);
        run.Set(row.single, total);
        run.Set(row.total, total);
    }
    float sum = 0.0f;
    int n = 0;
    for (int c = 0; c < kCarrierCount; ++c) {
        const auto v = static_cast<float>(RateSlot(ctx, kShareX100, c));
        if (v == kNoValueF) continue;
        sum += v;
        ++n;
    }
    if (n == 0) return;
    const int32_t average = TruncToI32(ClampShare(sum / static_cast<float>(n)));
    run.Set(Param(0x7F018407), average);
    run.Set(Param(0x7F018206), average);
}

// ---- 0x1192 ----

inline constexpr int kCounterOffset1192 = 4;
inline constexpr StructParamRef kBlob1192 = StructParam(0x7F0107E4);
// Payload bytes 916 to 931 are not carried; blob bytes 972 to 987 stay zero.
inline constexpr Carried kCarried1192[] = {{228, 284, 688}, {932, 988, 356}};
static_assert(kGroupLayoutBytes == kCarried1192[0].to);
static_assert(kCarried1192[0].from == kCounterOffset1192 + 4 * kCounters);
static_assert(kCarried1192[1].to + kCarried1192[1].length == static_cast<int>(kBlob1192.capacity));
static_assert(kCarried1192[1].from + kCarried1192[1].length == kPayloadBytes1192);
static_assert(kBlob1192.capacity <= std::tuple_size_v<decltype(ForwardPacketStatsState::blob)>);

// ---- 0x1193 ----

// The 13 counters in payload order, from byte 4: class and packet size (bits).
struct Counter1193 {
    bool isB;
    int size;
};
inline constexpr Counter1193 kCounters1193[] = {
    {false, 128},  {false, 256},  {false, 512},  {false, 1024}, {true, 1024},
    {false, 2048}, {true, 2048},  {false, 3072}, {true, 3072},  {false, 4096},
    {true, 4096},  {false, 5120}, {true, 5120},
};
inline constexpr StructParamRef kBlob1193 = StructParam(0x7F0107E5);
inline constexpr int kBlobFrom1193 = 4;  // the blob is the payload from the counters on
static_assert(kBlobFrom1193 + static_cast<int>(kBlob1193.capacity) == kPayloadBytes1193);

// Over-slots rate: bits per counted packet over 1.67 slots.
float RateOverSlots(uint64_t bitsA, uint32_t countA) {
    return 1024.0f * static_cast<float>(static_cast<double>(bitsA) / (countA * 1.67));
}

// Sum of the two values that hold one; the no-value mark when neither does.
float Total(float own, float last) {
    if (own == kNoValueF) return last;
    if (last == kNoValueF) return own;
    return own + last;
}

void Remember(PacketCountHistory& h, const ForwardCounts& c) {
    h.countA = c.countA;
    h.countB = c.countB;
    h.bitsA = c.bitsA;
    h.secondSum = c.secondSum;
    h.time = c.time;
    h.valid = 1;
}

inline constexpr ForwardRates kNoRates = {kNoValueF, kNoValueF, kNoValueF, kNoValueF};

void PresetSecondTable(SecondTableValues& v) {
    v.totals = v.rates = kNoRates;
    v.totalDeltaB = v.totalDelta = kNoValue;
}

void SetIfKnown(ParamRun& run, ParamRef p, float v) {
    if (v != kNoValueF) run.Set(p, TruncToI32(v));
}

}  // namespace

bool BitSumGrowth(uint64_t now, uint64_t before, uint64_t& growth) {
    constexpr uint64_t kMax32 = std::numeric_limits<uint32_t>::max();
    if (now <= kMax32 && before <= kMax32) {
        growth = static_cast<uint32_t>(now - before);
        return true;
    }
    if (now < before) return false;
    growth = now - before;
    return true;
}

int ParsePacketCounts12A2(ForwardPacketStatsState& state, PacketView packet,
                          PacketCountRecord& rec) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    const PacketView p = LogPayload(packet);
    ReadCarrierHeader(p, rec);
    p.Copy(kTableOffset12A2, rec.table.data(), rec.table.size());
    rec.rateSinceLast = rec.rateOverSlots = rec.rateOverTime = rec.bShare = kNoValueF;

    const CounterSums s =
        SumCounters([&](int k) { return LoadLE<uint32_t>(rec.table.data() + 4 * k); });
    if (rec.carrierIndex >= kCarrierCount) return 0;
    const uint32_t t = rec.time;
    if (t != 0) rec.rateOverTime = ForwardBitRate(static_cast<float>(s.bitsA / t));
    if (s.countA != 0) rec.rateOverSlots = RateOverSlots(s.bitsA, s.countA);

    PacketCountHistory& h = state.carriers[rec.carrierIndex];
    if (h.valid) {
        const uint32_t dB = s.countB - h.countB;
        const auto d = static_cast<int32_t>(s.countA - h.countA + dB);
        if (d != 0) rec.bShare = static_cast<float>(dB * 100.0 / d);
        if (t != h.time) {
            const auto bits = static_cast<int64_t>(s.bitsA - h.bitsA);
            const auto dt = static_cast<int32_t>(t - h.time);
            rec.rateSinceLast = ForwardBitRate(static_cast<float>(bits / dt));
        }
    }
    Remember(h, {t, s.countA, s.countB, s.bitsA, 0});
    return 1;
}

void HandleForwardStatsParams12A2(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    PacketCountRecord& rec = ctx.forwardPacketStats.record12A2;
    ZeroRecord(rec);
    ParsePacketCounts12A2(ctx.forwardPacketStats, packet, rec);

    ParamRun run(ctx);
    if (rec.carrierIndex < kCarrierCount) {
        const int c = rec.carrierIndex;
        const auto publish = [&](const CarrierIds& ids, RateKind kind, float v) {
            run.Set(ids[static_cast<size_t>(c)], TruncToI32(v));
            RateSlot(ctx, kind, c) = v;
        };
        if (rec.bShare != kNoValueF) publish(kCarrierShare, kShareX100, rec.bShare * 100.0f);
        if (rec.rateSinceLast != kNoValueF)
            publish(kCarrierSinceLast, kSinceLast, rec.rateSinceLast);
        if (rec.rateOverSlots != kNoValueF)
            publish(kCarrierOverSlots, kOverSlots, rec.rateOverSlots);
        if (rec.rateOverTime != kNoValueF) publish(kCarrierOverTime, kOverTime, rec.rateOverTime);
    }
    // The last carrier of the set publishes the sums over the carriers.
    if (rec.carrierIndex == rec.carrierCount - 1) AggregateCarriers(ctx, run);
    run.Finish();
}

void HandleForwardStatsStruct12A2(DecoderContext& ctx, PacketView packet, int32_t) {
    ForwardPacketStatsState& state = ctx.forwardPacketStats;
    PacketCountRecord& rec = state.record12A2;
    ZeroRecord(rec);
    ParsePacketCounts12A2(state, packet, rec);

    uint8_t* blob = state.blob.data();
    std::memset(blob, 0, kBlob12A2.capacity);
    StoreLE(blob, uint32_t{rec.fieldA});
    StoreLE(blob + 4, uint32_t{rec.carrierIndex});
    StoreLE(blob + 8, uint32_t{rec.fieldB});
    WriteGroups(blob + kBlobHeader12A2,
                [&](int k) { return LoadLE<uint32_t>(rec.table.data() + 4 * k); });
    for (const Carried& c : kCarried12A2) {
        std::memcpy(blob + c.to, rec.table.data() + (c.from - kTableOffset12A2),
                    static_cast<size_t>(c.length));
    }
    PublishStruct(ctx, kBlob12A2, blob, kBlob12A2.capacity);
}

void DeriveSingleCarrierRates(ForwardPacketStatsState& state, const ForwardCounts& c,
                              bool clampShare, ForwardRates& out) {
    out = kNoRates;
    SingleCarrierLastValues& last = state.last;
    last.share = kNoValueF;
    const uint32_t t = c.time;
    if (t != 0) out.overTime = last.overTime = ForwardBitRate(static_cast<float>(c.bitsA / t));
    if (c.countA != 0) out.overSlots = last.overSlots = RateOverSlots(c.bitsA, c.countA);

    PacketCountHistory& h = state.single;
    if (h.valid && static_cast<int32_t>(h.time) < static_cast<int32_t>(t)) {
        const uint32_t dB = c.countB - h.countB;
        const uint32_t d = c.countA - h.countA + dB;
        if (d != 0) {
            const auto share = static_cast<float>(dB * 100.0 / d);
            out.share = last.share = clampShare ? MaxFloat(0.0f, MinFloat(100.0f, share)) : share;
            last.deltaB = dB;
            last.delta = d;
        }
        const auto dt = static_cast<int32_t>(t - h.time);
        uint64_t growth = 0;
        if (dt > 0 && BitSumGrowth(c.bitsA, h.bitsA, growth)) {
            out.sinceLast = last.sinceLast =
                ForwardBitRate(static_cast<float>(growth / static_cast<uint64_t>(dt)));
        }
    }
    Remember(h, c);
}

void DeriveSecondTableValues(ForwardPacketStatsState& state, const ForwardCounts& c, float overTime,
                             SecondTableValues& v) {
    PresetSecondTable(v);
    ForwardRates& own = v.rates;
    own.overTime = overTime;
    if (c.countA != 0) own.overSlots = RateOverSlots(c.bitsA, c.countA);

    PacketCountHistory& h = state.second;
    uint32_t dB = 0, d = 0;
    if (h.valid && static_cast<int32_t>(h.time) < static_cast<int32_t>(c.time)) {
        dB = c.countB - h.countB;
        d = c.countA - h.countA + dB;
        if (d != 0) own.share = static_cast<float>(dB * 100.0 / d);
        // Bits since the previous packet, not divided by the time between them.
        uint64_t growth = 0;
        if (BitSumGrowth(c.bitsA, h.bitsA, growth))
            own.sinceLast = ForwardBitRate(static_cast<float>(growth));
    }
    Remember(h, c);

    const SingleCarrierLastValues& last = state.last;
    v.totals.overTime = Total(own.overTime, last.overTime);
    v.totals.sinceLast = Total(own.sinceLast, last.sinceLast);
    v.totals.overSlots = Total(own.overSlots, last.overSlots);
    const bool ownShare = own.share != kNoValueF;
    const bool earlier = last.share != kNoValueF;
    if (ownShare || earlier) {
        const uint32_t nB = (ownShare ? dB : 0) + (earlier ? last.deltaB : 0);
        const uint32_t nD = (ownShare ? d : 0) + (earlier ? last.delta : 0);
        if (static_cast<int32_t>(nD) > 0) {
            v.totals.share = static_cast<float>(nB * 100.0 / static_cast<int32_t>(nD));
            v.totalDeltaB = static_cast<int32_t>(nB);
            v.totalDelta = static_cast<int32_t>(nD);
        }
    }
}

void PublishSingleCarrierRates(ParamRun& run, const ForwardRates& r) {
    SetIfKnown(run, Param(0x7F018401), r.overTime);
    if (r.sinceLast != kNoValueF) run.Set(Param(0x7F018402), TruncToI32(ClampRate(r.sinceLast)));
    SetIfKnown(run, Param(0x7F018403), r.overSlots);
    if (r.share != kNoValueF) run.Set(Param(0x7F018407), TruncToI32(r.share * 100.0f));
}

void PublishSecondTableValues(ParamRun& run, const SecondTableValues& v) {
    SetIfKnown(run, Param(0x7F018404), v.rates.overTime);
    SetIfKnown(run, Param(0x7F018406), v.rates.overSlots);
    if (v.rates.sinceLast != kNoValueF) {
        run.Set(Param(0x7F018405), TruncToI32(ClampRate(v.rates.sinceLast)));
    }
    if (v.rates.share != kNoValueF) run.Set(Param(0x7F018408), TruncToI32(v.rates.share * 100.0f));
    SetIfKnown(run, Param(0x7F018201), v.totals.overTime);
    if (v.totals.sinceLast != kNoValueF) {
        run.Set(Param(0x7F018202), TruncToI32(ClampRate(v.totals.sinceLast)));
    }
    SetIfKnown(run, Param(0x7F018203), v.totals.overSlots);
    if (v.totals.share != kNoValueF) {
        run.Set(Param(0x7F018206), TruncToI32(v.totals.share * 100.0f));
    }
    run.SetKnown(Param(0x7F018208), v.totalDeltaB);
    run.SetKnown(Param(0x7F018209), v.totalDelta);
}

int ParsePacketCounts1192(ForwardPacketStatsState& state, PacketView packet, Record1192& rec,
                          bool compute) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    LogPayload(packet).Copy(0, rec.bytes.data(), rec.bytes.size());
    rec.rates = kNoRates;
    if (!compute) return 1;

    const CounterSums s = SumCounters(
        [&](int k) { return LoadLE<uint32_t>(rec.bytes.data() + kCounterOffset1192 + 4 * k); });
    // This log's bit sum wraps at 2^32.
    const ForwardCounts counts = {LoadLE<uint32_t>(rec.bytes.data()), s.countA, s.countB,
                                  static_cast<uint32_t>(s.bitsA), 0};
    DeriveSingleCarrierRates(state, counts, true, rec.rates);
    return 1;
}

void HandleForwardStatsParams1192(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    // 0x1068 leaves the total share to this log from now on.
    ctx.flag1068And1192 = 1;
    Record1192& rec = ctx.forwardPacketStats.record1192;
    ZeroRecord(rec);
    ParsePacketCounts1192(ctx.forwardPacketStats, packet, rec, true);
    ParamRun run(ctx);
    PublishSingleCarrierRates(run, rec.rates);
    run.Finish();
}

void HandleForwardStatsStruct1192(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    ForwardPacketStatsState& state = ctx.forwardPacketStats;
    Record1192& rec = state.record1192;
    ZeroRecord(rec);
    ParsePacketCounts1192(state, packet, rec, false);

    uint8_t* blob = state.blob.data();
    std::memset(blob, 0, kBlob1192.capacity);
    WriteGroups(blob, [&](int k) {
        return LoadLE<uint32_t>(rec.bytes.data() + kCounterOffset1192 + 4 * k);
    });
    for (const Carried& c : kCarried1192) {
        std::memcpy(blob + c.to, rec.bytes.data() + c.from, static_cast<size_t>(c.length));
    }
    PublishStruct(ctx, kBlob1192, blob, kBlob1192.capacity);
}

int ParsePacketCounts1193(ForwardPacketStatsState& state, PacketView packet, Record1193& rec,
                          bool compute) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    LogPayload(packet).Copy(0, rec.bytes.data(), rec.bytes.size());
    PresetSecondTable(rec.values);
    if (!compute) return 1;

    ForwardCounts counts;  // 32-bit sums
    counts.time = LoadLE<uint32_t>(rec.bytes.data());
    uint32_t bitsA = 0;
    for (size_t i = 0; i < std::size(kCounters1193); ++i) {
        const uint32_t c = LoadLE<uint32_t>(rec.bytes.data() + 4 + 4 * i);
        if (kCounters1193[i].isB) {
            counts.countB += c;
        } else {
            counts.countA += c;
            bitsA += c * static_cast<uint32_t>(kCounters1193[i].size);
        }
    }
    counts.bitsA = bitsA;
    const auto st = static_cast<int32_t>(counts.time);
    const float overTime =
        st > 0 ? static_cast<float>(1024.0 * (static_cast<double>(bitsA) / st) / 1000.0)
               : kNoValueF;
    DeriveSecondTableValues(state, counts, overTime, rec.values);
    return 1;
}

void HandleForwardStatsParams1193(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record1193& rec = ctx.forwardPacketStats.record1193;
    ZeroRecord(rec);
    ParsePacketCounts1193(ctx.forwardPacketStats, packet, rec, true);
    ParamRun run(ctx);
    PublishSecondTableValues(run, rec.values);
    run.Finish();
}

void HandleForwardStatsStruct1193(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record1193& rec = ctx.forwardPacketStats.record1193;
    ZeroRecord(rec);
    ParsePacketCounts1193(ctx.forwardPacketStats, packet, rec, false);
    PublishStruct(ctx, kBlob1193, rec.bytes.data() + kBlobFrom1193, kBlob1193.capacity);
}

}  // namespace tessavo

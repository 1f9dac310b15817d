#include "decoders/evdo/alternate_range.h"

#include "bits/conversions.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/evdo/packet_stats_common.h"
#include "decoders/evdo/ratio_blocks.h"
#include "decoders/decoder_context.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

bool HasPacket(PacketView packet) {
    return packet.Data() != nullptr && packet.Length() >= 1;
}

// ---- 0x9068 ----

inline constexpr float kLevelFull = 16384.0f;  // `level` of a load of 100 %
inline constexpr float kMaxLoad = 100.0f;

// ---- 0x9192 and 0x9193 ----

// An A-packet count above 2^31 is not taken: such a 0x9192 packet publishes nothing and leaves
// the history as it was.
inline constexpr uint32_t kMaxSummedCountA = 0x80000000u;

void ReadSummedCounts(PacketView packet, SummedCounts& c) {
    const PacketView p = LogPayload(packet);
    c.time = p.U32(0);
    c.countA = p.U32(4);
    c.bitsA = p.U64(8);
    c.countB = p.U32(16);
    c.secondSum = p.U64(20);
}

ForwardCounts Forward(const SummedCounts& c) {
    return {c.time, c.countA, c.countB, c.bitsA, c.secondSum};
}

// ---- 0x927D ----

// Publishing order of the ratios, as indices of the ratio sources (U3, U4, U5, U6, U7 over U2).
// U7 over U2 goes through an integer quotient: a quotient of 0 gives -16 dB, one of 1 gives 0 dB
// and publishes nothing.
struct Ratio927D {
    int source;
    bool integerQuotient;
};
inline constexpr Ratio927D kRatios927D[] = {
    {1, false}, {2, false}, {0, false}, {3, false}, {4, true}};
static_assert(std::size(kRatios927D) == std::size(kRatioSources));

}  // namespace

// ---- 0x9068 ----

int Parse9068(PacketView packet, Record9068& rec) {
    if (!HasPacket(packet)) return 0;
    const PacketView p = LogPayload(packet);
    rec.level = p.U16(0);
    rec.rateIndex = p.U8(2);
    rec.unused = p.U8(3);
    return 1;
}

void HandleLoadRate9068(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record9068 rec;
    Parse9068(packet, rec);
    ParamRun run(ctx);
    // Exact in single precision for every 16-bit level.
    const float load = static_cast<float>(rec.level) * 100.0f / kLevelFull;
    if (load >= 0.0f && load <= kMaxLoad) run.Set(Param(0x7F018206), TruncToI32(load * 100.0f));
    run.Set(Param(0x7F018009), rec.rateIndex);
    run.Set(Param(0x7F01800A), DrcIndexToRate(static_cast<int8_t>(rec.rateIndex)));
}

// ---- 0x9280 ----

int Parse9280(PacketView packet, Record9280& rec) {
    if (!HasPacket(packet)) return 0;
    const PacketView p = LogPayload(packet);
    rec.quarterValue = p.U8(0);
    rec.flags = p.U8(1);
    return 1;
}

void HandleQuarter9280(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record9280 rec;
    Parse9280(packet, rec);
    ParamRun run(ctx);
    run.Set(kQuarterAny, TruncToI32(rec.quarterValue / 4.0f));
    run.Set(kFlagBitAny, rec.flags & 1);
}

// ---- 0x927E ----

int Parse927E(ReverseHistory& h, PacketView packet, Record927E& rec) {
    if (!HasPacket(packet)) return 0;
    const PacketView p = LogPayload(packet);
    rec.errorCount = p.U32(0);
    rec.totalCount = p.U32(4);
    rec.spareCount = p.U32(8);
    rec.timeCount = p.U32(12);
    rec.unused = rec.totalDelta = rec.errorPercent = rec.timeDelta = kNoValueF;

    if (h.valid) {
        rec.timeDelta =
            static_cast<float>(static_cast<int64_t>(rec.timeCount) - static_cast<int64_t>(h.lastX));
        const auto v = static_cast<int32_t>(rec.totalCount - h.lastBad - h.lastGood);
        rec.totalDelta = static_cast<float>(v);
        if (v > 0) {
            const uint32_t w = (rec.errorCount - h.lastGood) * 100u;
            rec.errorPercent = static_cast<float>(w / static_cast<double>(v));
        }
    }
    h.valid = 1;
    RememberReverseTotals(h, {.good = rec.errorCount,
                              .all = rec.totalCount,
                              .badBits = rec.timeCount,
                              .goodBits = rec.spareCount});
    return 1;
}

void HandleReverseCounts927E(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record927E rec;
    Parse927E(ctx.reversePacketStats.single, packet, rec);
    ParamRun run(ctx);
    PublishReverseShareAndGrowth(run, rec.errorPercent, rec.timeDelta);
}

// ---- 0x9192 ----

int Parse9192(ForwardPacketStatsState& state, PacketView packet, Record9192& rec) {
    if (!HasPacket(packet)) return 0;
    ReadSummedCounts(packet, rec.counts);
    if (rec.counts.countA > kMaxSummedCountA) {
        rec.rates = {kNoValueF, kNoValueF, kNoValueF, kNoValueF};
        state.last.share = kNoValueF;
        return 1;
    }
    // Unlike 0x1192, the B share is not held within 0 to 100 %.
    DeriveSingleCarrierRates(state, Forward(rec.counts), false, rec.rates);
    return 1;
}

void HandleSummedForwardStats9192(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record9192 rec;
    Parse9192(ctx.forwardPacketStats, packet, rec);
    ParamRun run(ctx);
    PublishSingleCarrierRates(run, rec.rates);
}

// ---- 0x927D ----

int Parse927D(PacketView packet, Record927D& rec) {
    if (!HasPacket(packet)) return 0;
    const PacketView p = LogPayload(packet);
    for (size_t i = 0; i < rec.b.size(); ++i) rec.b[i] = p.U8(static_cast<int64_t>(i));
    const auto at = static_cast<int64_t>(rec.b.size());
    for (size_t i = 0; i < rec.u.size(); ++i) rec.u[i] = p.U16(at + 2 * static_cast<int64_t>(i));
    return 1;
}

void HandleRatioEntry927D(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record927D rec;
    Parse927D(packet, rec);
    ParamRun run(ctx);
    const int sizeIndex = rec.b[2] & 0x0F;
    if (sizeIndex == 0) return;
    run.Set(kPacketBitsAny, PacketSizeIndexToBits(sizeIndex));
    const uint16_t den = rec.u[kRatioDen];
    for (const Ratio927D& row : kRatios927D) {
        const RatioSource& r = kRatioSources[row.source];
        const uint16_t num = rec.u[static_cast<size_t>(r.num)];
        if (num == 0 || den == 0) continue;
        const float db =
            row.integerQuotient ? ClampedDb(num / den) : ClampedDb(static_cast<double>(num) / den);
        if (db != 0.0f) run.Set(r.any, Scale1000(db));
    }
}

// ---- 0x9193 ----

int Parse9193(ForwardPacketStatsState& state, PacketView packet, Record9193& rec) {
    if (!HasPacket(packet)) return 0;
    ReadSummedCounts(packet, rec.counts);
    const auto t = static_cast<int32_t>(rec.counts.time);
    const float overTime =
        t > 0 ? ForwardBitRate(static_cast<float>(static_cast<double>(rec.counts.bitsA) / t))
              : kNoValueF;
    DeriveSecondTableValues(state, Forward(rec.counts), overTime, rec.values);
    return 1;
}

void HandleSummedSecondTable9193(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record9193 rec;
    Parse9193(ctx.forwardPacketStats, packet, rec);
    ParamRun run(ctx);
    PublishSecondTableValues(run, rec.values);
}

}  // namespace tessavo

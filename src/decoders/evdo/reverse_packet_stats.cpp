#include "decoders/evdo/reverse_packet_stats.h"

#include <cstring>

#include "bits/conversions.h"
#include "common/le.h"
#include "decoders/decoder_context.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/evdo/packet_stats_common.h"
#include "params/param_lists.h"
#include "params/struct_param_table.h"

namespace tessavo {
namespace {

inline constexpr int kSizeClasses = 12;
inline constexpr int kEntryBytes = kReverseEntryWords * 4;
inline constexpr int kGoodWord = 4;  // w4
inline constexpr int kAllWord = 5;   // w5
// Payload offsets of the block: 0x127E version 0 and 1, 0x129F.
inline constexpr int kBlockAt127Ev0 = 1;
inline constexpr int kBlockAt127Ev1 = 5;
inline constexpr int kBlockAt129F = 9;

static_assert(kReverseRateSlot0 + kReverseRateSlots <=
              static_cast<int>(std::tuple_size_v<decltype(DecoderContext::rateHistory)>));

// Packet size (bits) of entry position i of a group.
uint32_t EntrySize(int i) {
    return static_cast<uint32_t>(PacketSizeIndexToBits(i % kSizeClasses + 1));
}

uint32_t Word(const uint8_t* block, int group, int entry, int word) {
    return LoadLE<uint32_t>(block + group * kReverseGroupBytes + entry * kEntryBytes + word * 4);
}

uint32_t TrailingWord(const uint8_t* block, int group) {
    return LoadLE<uint32_t>(block + group * kReverseGroupBytes + kReverseEntries * kEntryBytes);
}

// The groups without their trailing words, then per entry position the sum of each word over
// the three groups.
inline constexpr int kGroupsAndSumsBytes = (kReverseGroups + 1) * kReverseEntries * kEntryBytes;
static_assert(kGroupsAndSumsBytes == 2304);

// Sum of word `word` of entry position `entry` over the groups.
uint32_t EntrySum(const uint8_t* block, int entry, int word) {
    uint32_t sum = 0;
    for (int g = 0; g < kReverseGroups; ++g) sum += Word(block, g, entry, word);
    return sum;
}

void WriteGroupsAndSums(const uint8_t* block, uint8_t* out) {
    for (int g = 0; g < kReverseGroups; ++g) {
        std::memcpy(out, block + g * kReverseGroupBytes, kReverseEntries * kEntryBytes);
        out += kReverseEntries * kEntryBytes;
    }
    for (int e = 0; e < kReverseEntries; ++e) {
        for (int w = 0; w < kReverseEntryWords; ++w, out += 4) StoreLE(out, EntrySum(block, e, w));
    }
}

void WriteTrailingWords(const uint8_t* block, uint8_t* out) {
    for (int g = 0; g < kReverseGroups; ++g) StoreLE(out + 4 * g, TrailingWord(block, g));
}

// ---- 0x127E ----

inline constexpr StructParamRef kBlob127E = StructParam(0x7F0107E6);
// After the groups and sums: per size class the packets of both its entry positions, the
// good packets per packet of the class (f64), per group all its packets, the trailing words.
inline constexpr int kSizeTotalsAt = kGroupsAndSumsBytes;
inline constexpr int kSizeRatiosAt = kSizeTotalsAt + 4 * kSizeClasses;
inline constexpr int kGroupTotalsAt = kSizeRatiosAt + 8 * kSizeClasses;
inline constexpr int kTrailingAt127E = kGroupTotalsAt + 4 * kReverseGroups;
static_assert(kSizeRatiosAt == 2352 && kGroupTotalsAt == 2448 && kTrailingAt127E == 2460);
static_assert(kTrailingAt127E + 4 * kReverseGroups == static_cast<int>(kBlob127E.capacity));

// ---- 0x129F ----

inline constexpr StructParamRef kBlob129F = StructParam(0x7F0107F1);
inline constexpr int kHeader129F = 12;        // fieldA, carrierIndex, fieldB
inline constexpr int kTrailingAt129F = 2472;  // bytes 2316 to 2471 stay zero
static_assert(kTrailingAt129F + 4 * kReverseGroups == static_cast<int>(kBlob129F.capacity));
static_assert(kBlob129F.capacity <= std::tuple_size_v<decltype(ReversePacketStatsState::blob)>);
static_assert(kBlob127E.capacity <= std::tuple_size_v<decltype(ReversePacketStatsState::blob)>);

inline constexpr auto kCarrierShare = PerCarrier(0x307);
inline constexpr auto kCarrierRate = PerCarrier(0x305);

// Rate-history slots of a carrier: its share x 100, then its rate.
double& ShareSlot(DecoderContext& ctx, int carrier) {
    return ctx.rateHistory[static_cast<size_t>(kReverseRateSlot0 + carrier)];
}
double& RateSlot(DecoderContext& ctx, int carrier) {
    return ctx.rateHistory[static_cast<size_t>(kReverseRateSlot0 + kCarrierCount + carrier)];
}

}  // namespace

void RememberReverseTotals(ReverseHistory& h, const ReverseTotals& s) {
    h.lastBad = s.all - s.good;
    h.lastGood = s.good;
    h.lastX = s.badBits;
    h.lastY = s.goodBits;
}

void PublishReverseShareAndGrowth(ParamRun& run, float share, float growth) {
    if (share != kNoValueF) run.Set(Param(0x7F018207), TruncToI32(ClampShare(share * 100.0f)));
    if (growth != kNoValueF) run.Set(Param(0x7F018205), TruncToI32(ClampRate(growth)));
}

ReverseTotals SumReverseBlock(const uint8_t* block) {
    ReverseTotals s;
    for (int g = 0; g < kReverseGroups; ++g) {
        for (int e = 0; e < kReverseEntries; ++e) {
            const uint32_t good = Word(block, g, e, kGoodWord);
            const uint32_t all = Word(block, g, e, kAllWord);
            s.good += good;
            s.all += all;
            s.badBits += (all - good) * EntrySize(e);
            s.goodBits += good * EntrySize(e);
        }
    }
    return s;
}

int ParseReverseStats127E(ReverseHistory& h, PacketView packet, Record127E& rec, bool compute) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    const PacketView p = LogPayload(packet);
    rec.version = p.U8(0);
    rec.groupRate = rec.share = rec.bitDelta = kNoValueF;
    if (rec.version == 1) {
        rec.duration = p.U32(1);
        p.Copy(kBlockAt127Ev1, rec.block.data(), rec.block.size());
    } else if (rec.version == 0) {
        p.Copy(kBlockAt127Ev0, rec.block.data(), rec.block.size());
    } else {
        return 0;
    }
    if (!compute) return 1;

    const ReverseTotals s = SumReverseBlock(rec.block.data());
    if (h.valid) {
        rec.bitDelta = static_cast<float>(static_cast<int32_t>(s.badBits - h.lastX));
        const auto d = static_cast<int32_t>(s.all - h.lastBad - h.lastGood);
        if (d > 0) {
            rec.share = static_cast<float>(static_cast<int32_t>(s.good - h.lastGood) * 100.0 / d);
        }
        if (rec.version == 1 && rec.duration != 0) {
            rec.groupRate = static_cast<float>(s.badBits / rec.duration);
        }
    }
    h.valid = 1;
    RememberReverseTotals(h, s);
    return 1;
}

void HandleReverseStatsParams127E(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    ReversePacketStatsState& state = ctx.reversePacketStats;
    Record127E& rec = state.record127E;
    ZeroRecord(rec);
    if (ParseReverseStats127E(state.single, packet, rec, true) == 0) return;

    ParamRun run(ctx);
    if (rec.groupRate != kNoValueF) run.Set(Param(0x7F018204), TruncToI32(rec.groupRate));
    PublishReverseShareAndGrowth(run, rec.share, rec.bitDelta);
    run.Finish();
}

void HandleReverseStatsStruct127E(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    ReversePacketStatsState& state = ctx.reversePacketStats;
    Record127E& rec = state.record127E;
    ZeroRecord(rec);
    if (ParseReverseStats127E(state.single, packet, rec, false) == 0) return;

    const uint8_t* block = rec.block.data();
    uint8_t* blob = state.blob.data();
    WriteGroupsAndSums(block, blob);
    for (int i = 0; i < kSizeClasses; ++i) {
        const uint32_t all =
            EntrySum(block, i, kAllWord) + EntrySum(block, i + kSizeClasses, kAllWord);
        const uint32_t good =
            EntrySum(block, i, kGoodWord) + EntrySum(block, i + kSizeClasses, kGoodWord);
        StoreLE(blob + kSizeTotalsAt + 4 * i, all);
        StoreLE(blob + kSizeRatiosAt + 8 * i, all != 0 ? static_cast<double>(good / all) : 0.0);
    }
    for (int g = 0; g < kReverseGroups; ++g) {
        uint32_t all = 0;
        for (int e = 0; e < kReverseEntries; ++e) all += Word(block, g, e, kAllWord);
        StoreLE(blob + kGroupTotalsAt + 4 * g, all);
    }
    WriteTrailingWords(block, blob + kTrailingAt127E);
    PublishStruct(ctx, kBlob127E, blob, kBlob127E.capacity);
}

int ParseReverseStats129F(ReversePacketStatsState& state, PacketView packet, Record129F& rec,
                          bool compute) {
    if (packet.Data() == nullptr || packet.Length() < 1) return 0;
    const PacketView p = LogPayload(packet);
    ReadCarrierHeader(p, rec);
    p.Copy(kBlockAt129F, rec.block.data(), rec.block.size());
    rec.wholeBlock = p.Length() >= kBlockAt129F + kReverseBlockBytes;
    rec.share = rec.bitRate = kNoValueF;
    // A carrier index above 2 has no history entry: nothing is computed for it.
    if (!compute || !rec.wholeBlock || rec.time == 0 || rec.carrierIndex >= kCarrierCount) return 1;

    ReverseHistory& h = state.carriers[rec.carrierIndex];
    if (h.valid && h.time == rec.time) return 1;  // a repeat of the carrier's last packet
    const ReverseTotals s = SumReverseBlock(rec.block.data());
    if (h.valid && s.badBits >= h.lastX) {
        const uint32_t before = h.lastBad + h.lastGood;
        if (s.all != before) {
            rec.share = static_cast<float>(static_cast<int32_t>(s.good - h.lastGood) * 100.0 /
                                           static_cast<int32_t>(s.all - before));
        }
        const auto bits = static_cast<int64_t>(s.badBits - h.lastX);
        const auto dt = static_cast<int32_t>(rec.time - h.time);
        rec.bitRate = static_cast<float>(bits / dt);
    } else {
        h.valid = 1;  // first packet of the carrier, or its totals fell: start over
    }
    RememberReverseTotals(h, s);
    h.time = rec.time;
    return 1;
}

void HandleReverseStatsParams129F(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    ReversePacketStatsState& state = ctx.reversePacketStats;
    Record129F& rec = state.record129F;
    ZeroRecord(rec);
    ParseReverseStats129F(state, packet, rec, true);

    ParamRun run(ctx);
    if (rec.carrierIndex < kCarrierCount) {
        const int c = rec.carrierIndex;
        if (rec.share != kNoValueF) {
            const float share = rec.share * 100.0f;
            run.Set(kCarrierShare[static_cast<size_t>(c)], TruncToI32(share));
            ShareSlot(ctx, c) = share;
        }
        if (rec.bitRate != kNoValueF) {
            run.Set(kCarrierRate[static_cast<size_t>(c)], TruncToI32(rec.bitRate));
            RateSlot(ctx, c) = rec.bitRate;
        }
    }
    // The last carrier of the set publishes the sum of the carriers' rates and their mean share.
    if (rec.carrierIndex == rec.carrierCount - 1) {
        float rate = 0.0f;
        float share = 0.0f;
        int shares = 0;
        for (int c = 0; c < kCarrierCount; ++c) {
            const auto r = static_cast<float>(RateSlot(ctx, c));
            if (r != kNoValueF) rate += r;
            const auto s = static_cast<float>(ShareSlot(ctx, c));
            if (s != kNoValueF) {
                share += s;
                ++shares;
            }
        }
        if (shares > 0) share /= static_cast<float>(shares);
        run.Set(Param(0x7F018205), TruncToI32(ClampRate(rate)));
        run.Set(Param(0x7F018207), TruncToI32(ClampShare(share)));
    }
    run.Finish();
}

void HandleReverseStatsStruct129F(DecoderContext& ctx, PacketView packet, int32_t) {
    ReversePacketStatsState& state = ctx.reversePacketStats;
    Record129F& rec = state.record129F;
    ZeroRecord(rec);
    ParseReverseStats129F(state, packet, rec, false);

    uint8_t* blob = state.blob.data();
    std::memset(blob, 0, kBlob129F.capacity);
    StoreLE(blob, uint32_t{rec.fieldA});
    StoreLE(blob + 4, uint32_t{rec.carrierIndex});
    StoreLE(blob + 8, uint32_t{rec.fieldB});
    WriteGroupsAndSums(rec.block.data(), blob + kHeader129F);
    WriteTrailingWords(rec.block.data(), blob + kTrailingAt129F);
    PublishStruct(ctx, kBlob129F, blob, kBlob129F.capacity);
}

}  // namespace tessavo

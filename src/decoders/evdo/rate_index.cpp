#include "decoders/evdo/rate_index.h"

#include <algorithm>
#include <cstring>

#include "bits/conversions.h"
#include "decoders/record_reader.h"
#include "decoders/evdo/carrier_params.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

constexpr CarrierIds kBestIndex = PerCarrier(0x109);
constexpr CarrierIds kBestRate = PerCarrier(0x10A);
constexpr ParamRef kBestIndexAny = Param(0x7F018009);
constexpr ParamRef kBestRateAny = Param(0x7F01800A);

constexpr CarrierIds kLowField = PerCarrier(0x10B);
constexpr CarrierIds kHighField = PerCarrier(0x508);
constexpr ParamRef kLowFieldAny = Param(0x7F01800B);
constexpr ParamRef kHighFieldAny = Param(0x7F018508);

constexpr StructParamRef kFlagBlob1298 = StructParam(0x7F0107F4);
constexpr int kFlagBlobSections = 3;
constexpr size_t kFlagSectionSize = 158;
static_assert(4 + kFlagBlobSections * kFlagSectionSize == kFlagBlob1298.capacity);

constexpr StructParamRef kFlagBlob1282 = StructParam(0x7F0107E9);
constexpr int kFlagPairs = 6;  // the flag word's bits 0 to 11, in pairs
constexpr int kAllElements = 2 * kFlagElements;
static_assert(3 * kFlagPairs + 4 * kAllElements == kFlagBlob1282.capacity);

// The two small fields of a flag value: bits 0-2 (7 stands for 0) and bits 4-6.
int32_t LowField(uint32_t v) {
    const int32_t a = static_cast<int32_t>(v & 7);
    return a == 7 ? 0 : a;
}
int32_t HighField(uint32_t v) {
    return static_cast<int32_t>((v >> 4) & 7);
}

uint8_t Bit(uint32_t v, int bit) {
    return static_cast<uint8_t>((v >> bit) & 1);
}

}  // namespace

// ---- 0x1296 ----

int Parse1296(PacketView packet, Record1296& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        rec.count = ReadLe<uint8_t>(t);
        rec.b2 = ReadLe<uint8_t>(t);
        rec.b3 = ReadLe<uint8_t>(t);
        if (rec.version != 1) return;
        rec.blocksRead = ReadEntries(t, std::min<int>(rec.count, kMaxRateBlocks), [&](int j) {
            RateBlock1296& b = rec.blocks[static_cast<size_t>(j)];
            b.carrier = ReadLe<uint8_t>(t) & 0x0F;
            b.channelWord = ReadLe<uint16_t>(t);
            for (uint8_t& rate : b.rateBytes) {
                rate = ReadLe<uint8_t>(t);
                ReadUnused<uint32_t>(t);
            }
            for (int g = 0; g < 6; ++g) ReadUnused<uint16_t, uint16_t, uint16_t, uint8_t>(t);
            ReadUnused<uint8_t, uint32_t, uint16_t>(t);
        });
    });
}

void HandleRateIndex1296(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record1296& rec = ctx.secondScratch.rates1296;
    ZeroRecord(rec);
    Parse1296(packet, rec);
    if (rec.version != 1) return;
    ParamRun run(ctx);
    for (int j = 0; j < rec.blocksRead; ++j) {
        const RateBlock1296& b = rec.blocks[static_cast<size_t>(j)];
        // The highest rate among the 32 indexes; the first index wins a tie.
        int32_t best = 0;
        int32_t bestIndex = 0;
        for (uint8_t v : b.rateBytes) {
            for (int index : {v >> 4, v & 0x0F}) {
                const int32_t rate = DrcIndexToRate(static_cast<int8_t>(index));
                if (rate > best) {
                    best = rate;
                    bestIndex = index;
                }
            }
        }
        if (IsCarrier(b.carrier)) {
            run.Set(kBestIndex[b.carrier], bestIndex);
            run.Set(kBestRate[b.carrier], best);
        }
        if (ChannelOf(b.channelWord) == ctx.referenceValue) {
            run.Set(kBestIndexAny, bestIndex);
            run.Set(kBestRateAny, best);
        }
    }
}

// ---- 0x1298 ----

int Parse1298(PacketView packet, Record1298& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.b0 = ReadLe<uint8_t>(t);
        rec.count = ReadLe<uint8_t>(t);
        rec.b2 = ReadLe<uint8_t>(t);
        rec.blocksRead = ReadEntries(t, std::min<int>(rec.count, kMaxRateBlocks), [&](int j) {
            FlagBlock1298& b = rec.blocks[static_cast<size_t>(j)];
            b.carrier = ReadLe<uint8_t>(t);
            b.channelWord = ReadLe<uint16_t>(t);
            b.h3 = ReadLe<uint16_t>(t);
            for (auto& group : b.groups) {
                for (uint8_t& v : group) v = ReadLe<uint8_t>(t);
            }
            b.flagWord = ReadLe<uint16_t>(t);
            b.b71 = ReadLe<uint8_t>(t);
        });
    });
}

void HandleFlagWordParams1298(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record1298& rec = ctx.secondScratch.flags1298;
    ZeroRecord(rec);
    Parse1298(packet, rec);
    ParamRun run(ctx);
    for (int j = 0; j < rec.blocksRead; ++j) {
        const FlagBlock1298& b = rec.blocks[static_cast<size_t>(j)];
        // The first byte of the last group holds the two fields.
        const uint8_t g = b.groups[kFlagGroups - 1][0];
        if (IsCarrier(b.carrier)) {
            run.Set(kLowField[b.carrier], LowField(g));
            run.Set(kHighField[b.carrier], HighField(g));
        }
        if (ChannelOf(b.channelWord) == ctx.referenceValue) {
            run.Set(kLowFieldAny, LowField(g));
            run.Set(kHighFieldAny, HighField(g));
        }
    }
}

void HandleFlagWordStruct1298(DecoderContext& ctx, PacketView packet, int32_t) {
    Record1298& rec = ctx.secondScratch.flags1298;
    ZeroRecord(rec);
    Parse1298(packet, rec);
    std::array<uint8_t, kFlagBlob1298.capacity> blob{};
    StoreLE(blob.data(), uint32_t{rec.count});
    for (int j = 0; j < std::min<int>(rec.blocksRead, kFlagBlobSections); ++j) {
        const FlagBlock1298& b = rec.blocks[static_cast<size_t>(j)];
        uint8_t* s = blob.data() + 4 + kFlagSectionSize * static_cast<size_t>(j);
        StoreLE(s + 0, static_cast<uint32_t>(ChannelOf(b.channelWord)));
        StoreLE(s + 4, uint32_t{b.carrier});
        StoreLE(s + 8, static_cast<uint32_t>(BandOf(b.channelWord)));
        for (int m = 0; m < kFlagPairs; ++m) {
            s[12 + m] = static_cast<uint8_t>(m);
            s[18 + m] = Bit(b.flagWord, 2 * m);
            s[24 + m] = Bit(b.flagWord, 2 * m + 1);
        }
    }
    StructRun srun(ctx);
    srun.Set(kFlagBlob1298, blob.data(), blob.size());
}

// ---- 0x1282 ----

int Parse1282(PacketView packet, Record1282& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        if (rec.version != 0) return;
        for (FlagBlock1282& b : rec.blocks) {
            for (uint16_t& e : b.elements) e = ReadLe<uint16_t>(t);
            b.b32 = ReadLe<uint8_t>(t);
            b.flagWord = ReadLe<uint16_t>(t);
            b.b35 = ReadLe<uint8_t>(t);
            for (uint8_t& v : b.bytes36) v = ReadLe<uint8_t>(t);
            b.w52 = ReadLe<uint32_t>(t);
        }
    });
}

void HandleFlagWordParams1282(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record1282 rec;
    Parse1282(packet, rec);
    ParamRun run(ctx);
    const uint16_t e = rec.blocks[1].elements[kFlagElements - 1];
    // Bits 0-2 of 0 carry no value; 7 stands for 0.
    if ((e & 7) != 0) run.Set(kLowFieldAny, LowField(e));
    run.Set(kHighFieldAny, HighField(e));
}

void HandleFlagWordStruct1282(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record1282 rec;
    Parse1282(packet, rec);
    const uint16_t w = rec.blocks[1].flagWord;
    std::array<uint8_t, kFlagBlob1282.capacity> blob{};
    for (int m = 0; m < kFlagPairs; ++m) {
        blob[static_cast<size_t>(m)] = static_cast<uint8_t>(m);
        blob[static_cast<size_t>(6 + m)] = static_cast<uint8_t>(2 * Bit(w, 2 * m + 1));
        blob[static_cast<size_t>(12 + m)] = Bit(w, 2 * m);
    }
    for (int i = 0; i < kAllElements; ++i) {
        const uint16_t e = rec.blocks[static_cast<size_t>(i / kFlagElements)]
                               .elements[static_cast<size_t>(i % kFlagElements)];
        const size_t at = static_cast<size_t>(i);
        blob[18 + at] = static_cast<uint8_t>(i % kFlagElements);
        blob[50 + at] = static_cast<uint8_t>(e & 0x0F);
        blob[82 + at] = Bit(e, 13);
        blob[114 + at] = static_cast<uint8_t>((e >> 4) & 7);
    }
    StructRun srun(ctx);
    srun.Set(kFlagBlob1282, blob.data(), blob.size());
}

}  // namespace tessavo

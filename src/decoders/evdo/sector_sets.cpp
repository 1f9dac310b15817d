#include "decoders/evdo/sector_sets.h"

#include <algorithm>
#include <cstring>

#include "bits/conversions.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

using namespace sector_param;

constexpr StructParamRef kStrengthBlob = StructParam(0x7F0107D7);
constexpr StructParamRef kSectorTableBlob = StructParam(0x7F0107D8);
constexpr StructParamRef kSet1Blob = StructParam(0x7F0107D9);
constexpr StructParamRef kSet2Blob = StructParam(0x7F0107DA);
constexpr StructParamRef kSet3Blob = StructParam(0x7F0107DB);
static_assert(kStrengthBlob.capacity == kRecord108ASize);
static_assert(13 + kMaxStrengthEntries * 18 == kRecord108ASize);
constexpr int kSet1Published = 32, kSet2Published = 32, kSet3Published = 64;
static_assert(13 + kSet1Published * 36 == kSet1Blob.capacity);
static_assert(3 + kSet2Published * 28 == kSet2Blob.capacity);
static_assert(4 + kSet3Published * 28 == kSet3Blob.capacity);

// Sectors of one packet grouped by sector number; at most the first 64 entries count.
constexpr int kMaxGroupedEntries = 64;
constexpr uint16_t kSectorMask = 0x1FF;

uint16_t Low16OfLevelX1000(uint16_t v) {
    return static_cast<uint16_t>(static_cast<uint32_t>(Scale1000(ConvertLog512(v))) & 0xFFFF);
}

// Level of a sector in dB from its summed strength, and its share of the total; the no-value
// mark stays the mark in both.
void SetLevels(SectorRow& row, double level) {
    row.level = level;
    row.convertedLevel =
        level == kNoValueD ? kNoValueD : ConvertSinrShare(static_cast<float>(level));
}

// The carrier level the single-carrier rows carry: the last reference-channel receive level.
double CarrierLevel(const DecoderContext& ctx) {
    return ctx.lastValue018001 != kNoValueD ? ctx.lastValue018001 / 1000.0 : kNoValueD;
}

uint32_t U(int32_t v) {
    return static_cast<uint32_t>(v);
}

uint32_t LevelWord(uint16_t strength) {
    return strength != 0 ? U(Scale1000(ConvertLog512(strength))) : U(kNoValue);
}

void StoreWords(uint8_t* out, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        StoreLE(out, w);
        out += 4;
    }
}

// A place of a set: stored entries, or a zero entry beyond the stored ones.
template <typename Entry, size_t N>
const Entry& Place(const std::array<Entry, N>& stored, int i) {
    static const Entry kZero{};
    return i < static_cast<int>(N) ? stored[static_cast<size_t>(i)] : kZero;
}

}  // namespace

// ---- 0x108A ----

int Parse108A(PacketView packet, Record108A& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.w4, 32);
        t.Lsb(rec.h8, 16);
        t.Lsb(rec.h10, 16);
        const uint8_t n = t.Lsb<uint8_t>(8);
        BitReader& r = t.Reader();
        ReadEntries(t, std::min<int>(n, kMaxStrengthEntries), [&](int) {
            StrengthEntry108A e;
            t.Lsb(e.sectorWord, 16);
            t.Lsb(e.field18, 18);
            r.AlignToNextByte();
            r.AlignToNextByte();
            t.Lsb(e.strength, 16);
            t.Lsb(e.bits[2], 1);
            t.Lsb(e.bits[1], 1);
            t.Lsb(e.bits[0], 1);
            t.Lsb(e.fourBits, 4);
            r.AlignToNextByte();
            t.Lsb(e.threeBitsA, 3);
            t.Lsb(e.threeBitsB, 3);
            r.AlignToNextByte();
            e.levelA = Low16OfLevelX1000(t.Lsb<uint16_t>(16));
            e.levelB = Low16OfLevelX1000(t.Lsb<uint16_t>(16));
            if (e.sectorWord != kUnusedSectorWord) rec.entries[rec.count++] = e;
        });
    });
}

void StoreRecord108A(uint8_t* out, const Record108A& rec) {
    std::memset(out, 0, kRecord108ASize);
    out[0] = rec.b0;
    StoreLE(out + 4, rec.w4);
    StoreLE(out + 8, rec.h8);
    StoreLE(out + 10, rec.h10);
    out[12] = rec.count;
    for (int i = 0; i < std::min<int>(rec.count, kMaxStrengthEntries); ++i) {
        const StrengthEntry108A& e = rec.entries[static_cast<size_t>(i)];
        uint8_t* p = out + 13 + 18 * i;
        StoreLE(p + 0, e.sectorWord);
        StoreLE(p + 2, e.strength);
        StoreLE(p + 4, e.levelA);
        StoreLE(p + 6, e.levelB);
        StoreLE(p + 8, e.field18);
        p[12] = e.threeBitsA;
        p[13] = e.threeBitsB;
        p[14] = e.fourBits;
        std::memcpy(p + 15, e.bits.data(), e.bits.size());
    }
}

void HandleSectorStrengthParams108A(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record108A rec;
    Parse108A(packet, rec);
    if (rec.count == 0) return;

    struct Group {
        int32_t sector;
        int32_t sum;
    };
    std::array<Group, kMaxStrengthEntries> groups{};
    int groupCount = 0;
    for (int i = 0; i < std::min<int>({rec.count, kMaxStrengthEntries, kMaxGroupedEntries}); ++i) {
        const StrengthEntry108A& e = rec.entries[static_cast<size_t>(i)];
        if (e.sectorWord == kUnusedSectorWord || e.strength == 0) continue;
        const int32_t sector = e.sectorWord & kSectorMask;
        Group* end = groups.data() + groupCount;
        Group* g =
            std::find_if(groups.data(), end, [&](const Group& x) { return x.sector == sector; });
        if (g == end) {
            *g = Group{sector, 0};
            ++groupCount;
        }
        g->sum += static_cast<int16_t>(e.strength);
    }

    ParamRun run(ctx);
    SectorTable& table = ctx.sectorTable;
    // One sector other than the reference: the handset moved; the old sectors are gone.
    if (groupCount == 1 && groups[0].sector != ctx.referenceSector) table.Clear();
    for (int i = 0; i < groupCount; ++i) {
        SectorRow row;
        row.kind = kSectorKindActive;
        row.channel = ctx.referenceValue;
        row.sector = groups[static_cast<size_t>(i)].sector;
        row.carrierLevel = CarrierLevel(ctx);
        SetLevels(row, ConvertLog512(groups[static_cast<size_t>(i)].sum));
        table.Insert(row);
    }
    if (groupCount == 0) return;

    if (static_cast<float>(ctx.lastValue018001) != kNoValueF) {
        const float level = static_cast<float>(ctx.lastValue018001 / 1000.0);
        for (int i = 0; i < table.Used(); ++i)
            table.rows[static_cast<size_t>(i)].carrierLevel = level;
    }
    int active = 0;
    double best = kNoValueD;
    for (int i = 0; i < std::min(table.Used(), kSectorRowsPublished); ++i) {
        const SectorRow& row = table.rows[static_cast<size_t>(i)];
        if (row.kind != kSectorKindActive) continue;
        ++active;
        if (row.sector == ctx.referenceSector && row.level != kNoValueD) best = row.level;
    }
    if (active == 1) {
        const SectorRow* end = table.rows.data() + table.Used();
        const SectorRow* row =
            std::find_if(static_cast<const SectorRow*>(table.rows.data()), end,
                         [](const SectorRow& r) { return r.kind == kSectorKindActive; });
        best = row->level;
        run.Set(kRefSector, row->sector);
        ctx.referenceSector = row->sector;
    }
    if (best != kNoValueD) {
        run.Set(kBestLevel, Scale1000(best));
        ctx.bestLevelX1000 = best * 1000.0;
        run.Set(kBestLevelCopy, Scale1000(best));
    }
}

void HandleSectorStrengthStruct108A(DecoderContext& ctx, PacketView packet, int32_t) {
    Record108A rec;
    Parse108A(packet, rec);
    uint8_t* blob = ctx.secondScratch.blob.data();
    StoreRecord108A(blob, rec);
    StructRun srun(ctx);
    srun.Set(kStrengthBlob, blob, kStrengthBlob.capacity);
    if (ctx.sectorTable.Used() > 0) {
        StoreSectorTable(blob, ctx.sectorTable);
        srun.Set(kSectorTableBlob, blob, kSectorTableBlob.capacity);
        srun.SetDataToPayload(kSectorTableBlob);
    }
}

// ---- 0x108B ----

int Parse108B(PacketView packet, Record108B& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        t.Lsb(rec.b0, 8);
        t.Lsb(rec.count1, 8);
        t.Lsb(rec.b2, 8);
        t.Lsb(rec.channel, 11);
        t.Lsb(rec.band, 5);
        t.Lsb(rec.b6, 8);
        t.Lsb(rec.count2, 8);
        t.Lsb(rec.b8, 8);
        t.Lsb(rec.count3, 8);
        t.Lsb(rec.h10, 16);
        rec.read1 = ReadEntries(t, rec.count1, [&](int i) {
            ActiveEntry108B e;
            t.Lsb(e.sector, 16);
            t.Lsb(e.strength, 16);
            t.Lsb(e.f4, 4);
            t.Lsb(e.f5, 4);
            t.Lsb(e.f6, 3);
            t.Lsb(e.f7, 5);
            t.Lsb(e.f8, 8);
            t.Lsb(e.f9, 1);
            t.Lsb(e.f10, 1);
            t.Lsb(e.f11, 6);
            t.Lsb(e.f12, 16);
            if (i < kStoredSet1) rec.set1[static_cast<size_t>(i)] = e;
        });
        rec.read2 = ReadEntries(t, rec.count2, [&](int i) {
            CandidateEntry108B e;
            t.Lsb(e.sector, 16);
            t.Lsb(e.strength, 16);
            t.Lsb(e.channel, 11);
            t.Lsb(e.f6, 5);
            t.Lsb(e.f7, 8);
            t.Lsb(e.f8, 1);
            t.Lsb(e.f9, 1);
            t.Lsb(e.f10, 6);
            t.Lsb(e.f11, 16);
            if (i < kStoredSet2) rec.set2[static_cast<size_t>(i)] = e;
        });
        rec.read3 = ReadEntries(t, rec.count3, [&](int i) {
            NeighbourEntry108B e;
            t.Lsb(e.sector, 16);
            t.Lsb(e.strength, 16);
            t.Lsb(e.channel, 11);
            t.Lsb(e.f6, 5);
            t.Lsb(e.f7, 16);
            t.Lsb(e.f9, 3);
            t.Lsb(e.f10, 5);
            t.Lsb(e.f11, 8);
            if (i < kStoredSet3) rec.set3[static_cast<size_t>(i)] = e;
        });
    });
}

void HandleSectorSetsParams108B(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record108B rec;
    Parse108B(packet, rec);
    {
        ParamRun run(ctx);
        run.Set(kRefChannel, rec.channel);
        ctx.referenceValue = rec.channel;
        run.Set(kRefBand, rec.band);
        run.Set(kFlaggedCount, rec.count1);
    }

    SectorTable& table = ctx.sectorTable;
    table.Clear();
    const float carrierLevel = static_cast<float>(CarrierLevel(ctx));
    for (int i = 0; i < rec.read1; ++i) {
        const ActiveEntry108B& e = Place(rec.set1, i);
        SectorRow row;
        row.kind = kSectorKindActive;
        row.channel = ctx.referenceValue;
        row.sector = e.sector;
        row.carrierLevel = carrierLevel;
        row.field10 = e.f6;
        // An active sector without a strength of its own keeps the best level last seen.
        double level = kNoValueD;
        if (e.strength != 0) {
            level = ConvertLog512(e.strength);
        } else if (ctx.bestLevelX1000 != kNoValueD) {
            level = ctx.bestLevelX1000 / 1000.0;
        }
        SetLevels(row, level);
        table.Insert(row);
    }
    auto insertOther = [&](int32_t kind, uint16_t sector, uint16_t strength, uint16_t channel) {
        if (strength == 0) return;
        SectorRow row;
        row.kind = kind;
        row.channel = channel;
        row.sector = sector;
        row.carrierLevel = carrierLevel;
        row.field10 = (channel >> 8) & 7;
        SetLevels(row, ConvertLog512(strength));
        table.Insert(row);
    };
    for (int i = 0; i < rec.read2; ++i) {
        const CandidateEntry108B& e = Place(rec.set2, i);
        insertOther(kSectorKindCandidate, e.sector, e.strength, e.channel);
    }
    for (int i = 0; i < rec.read3; ++i) {
        const NeighbourEntry108B& e = Place(rec.set3, i);
        insertOther(kSectorKindNeighbour, e.sector, e.strength, e.channel);
    }
}

void HandleSectorSetsStruct108B(DecoderContext& ctx, PacketView packet, int32_t) {
    Record108B rec;
    Parse108B(packet, rec);
    uint8_t* blob = ctx.secondScratch.blob.data();
    StructRun srun(ctx);

    std::memset(blob, 0, kSet1Blob.capacity);
    blob[0] = rec.b0;
    blob[1] = rec.count1;
    blob[2] = rec.b2;
    StoreLE(blob + 3, rec.channel);
    StoreLE(blob + 5, uint32_t{rec.band});
    StoreLE(blob + 9, uint32_t{rec.b6});
    for (int i = 0; i < std::min<int>(rec.read1, kSet1Published); ++i) {
        const ActiveEntry108B& e = Place(rec.set1, i);
        StoreWords(blob + 13 + 36 * i,
                   {e.sector, LevelWord(e.strength), e.f6, e.f5, e.f4, e.f10, e.f9, e.f8, e.f12});
    }
    srun.Set(kSet1Blob, blob, kSet1Blob.capacity);

    std::memset(blob, 0, kSet2Blob.capacity);
    blob[0] = rec.b0;
    blob[1] = rec.count2;
    blob[2] = rec.b8;
    for (int i = 0; i < std::min<int>(rec.read2, kSet2Published); ++i) {
        const CandidateEntry108B& e = Place(rec.set2, i);
        StoreWords(blob + 3 + 28 * i, {e.sector, LevelWord(e.strength), e.channel, e.f6,
                                       U(kNoValue), U(kNoValue), U(kNoValue)});
    }
    srun.Set(kSet2Blob, blob, kSet2Blob.capacity);

    std::memset(blob, 0, kSet3Blob.capacity);
    blob[0] = rec.b0;
    blob[1] = rec.count3;
    StoreLE(blob + 2, rec.h10);
    for (int i = 0; i < std::min<int>(rec.read3, kSet3Published); ++i) {
        const NeighbourEntry108B& e = Place(rec.set3, i);
        StoreWords(blob + 4 + 28 * i,
                   {e.sector, LevelWord(e.strength), e.channel, e.f6, e.f7, e.f9, e.f11});
    }
    srun.Set(kSet3Blob, blob, kSet3Blob.capacity);
}

}  // namespace tessavo

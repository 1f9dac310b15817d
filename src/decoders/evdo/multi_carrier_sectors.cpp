#include "decoders/evdo/multi_carrier_sectors.h"

#include <algorithm>
#include <cstring>

#include "bits/conversions.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

using namespace sector_param;

// ---- 0x129C: levels L0 to L5 of an entry, their ranges and where they are published ----
struct LevelTarget {
    int level;       // index of L0..L5
    float lo, hi;    // range of level / 256
    CarrierIds ids;  // per carrier
    ParamRef any;    // on the reference channel
};
const LevelTarget kLevelTargets[] = {
    {2, -60.0f, 30.0f, PerCarrier(0x104), Param(0x7F018004)},
    {0, -60.0f, 30.0f, PerCarrier(0x105), Param(0x7F018005)},
    {1, -128.0f, 127.0f, PerCarrier(0x106), Param(0x7F018006)},
    {3, -60.0f, 30.0f, PerCarrier(0x103), Param(0x7F018003)},
    {4, -130.0f, -30.0f, PerCarrier(0x101), Param(0x7F018001)},  // receive level, dBm
    {5, -130.0f, -30.0f, PerCarrier(0x102), Param(0x7F018002)},
};
constexpr int kReceiveLevel = 4;  // L4: the carrier's receive level

// ---- 0x1295 ----
constexpr uint16_t kUnusedSector = 65535;
const CarrierIds kServingChannel = PerCarrier(0x10C);
const CarrierIds kServingBand = PerCarrier(0x10D);
const CarrierIds kServingSector = PerCarrier(0x10E);
const CarrierIds kServingLevel = PerCarrier(0x107);
const CarrierIds kServingLevelCopy = PerCarrier(0x108);

constexpr StructParamRef kServingBlob = StructParam(0x7F0107EA);
constexpr StructParamRef kSectorTableBlob = StructParam(0x7F0107D8);
constexpr int kServingBlobBlocks = 3;
constexpr size_t kServingHeaderAt = 4;       // three 12-byte carrier headers
constexpr size_t kServingSectionAt = 40;     // three sections
constexpr size_t kServingSectionSize = 445;  // 12 zero bytes, count, 12 records
constexpr int kServingSectionRecords = 12;
constexpr size_t kServingRecordSize = 36;
static_assert(kServingSectionAt + kServingBlobBlocks * kServingSectionSize ==
              kServingBlob.capacity);
static_assert(13 + kServingSectionRecords * kServingRecordSize == kServingSectionSize);
static_assert(kSectorTableBlob.capacity == kSectorTableBlobSize);

// ---- 0x12A1 ----
constexpr StructParamRef kSetABlob = StructParam(0x7F0107EC);
constexpr StructParamRef kSetBBlob = StructParam(0x7F0107ED);
constexpr StructParamRef kSetCBlob = StructParam(0x7F0107EE);
constexpr int kSetAPublished = 32, kSetBPublished = 32, kSetCPublished = 64;
constexpr size_t kSetARecordWords = 22, kSetBCRecordWords = 9;
static_assert(7 + kSetAPublished * kSetARecordWords * 4 == kSetABlob.capacity);
static_assert(3 + kSetBPublished * kSetBCRecordWords * 4 == kSetBBlob.capacity);
static_assert(2 + kSetCPublished * kSetBCRecordWords * 4 == kSetCBlob.capacity);
// The reference flag: bit 2 of the flag byte at set A entry offset 10 (tail byte 1).
constexpr uint8_t kReferenceFlag = 0x04;
constexpr int32_t kMaxFlaggedCount = 6;

// Widths of the fields after the channel word (entry offset 9 on), per set: set A has eight
// bytes and a u16 (19 bytes in all), set B a byte and a u16 (12), set C a u16, a byte and a
// u16 (14).
struct TailLayout {
    std::array<uint8_t, 9> widths;  // bytes per field; 0 ends the list
};
constexpr TailLayout kTailA = {{1, 1, 1, 1, 1, 1, 1, 1, 2}};
constexpr TailLayout kTailB = {{1, 2}};
constexpr TailLayout kTailC = {{2, 1, 2}};

void ReadSetEntry(FieldTemps& t, SetEntry12A1& e, const TailLayout& layout) {
    e.sector = ReadLe<uint16_t>(t);
    e.e1 = ReadLe<uint16_t>(t);
    e.e2 = ReadLe<uint16_t>(t);
    e.b6 = ReadLe<uint8_t>(t);
    e.channelWord = ReadLe<uint16_t>(t);
    size_t at = 0;
    for (uint8_t width : layout.widths) {
        if (width == 1) {
            e.tail[at] = ReadLe<uint8_t>(t);
        } else if (width == 2) {
            StoreLE(e.tail.data() + at, ReadLe<uint16_t>(t));
        }
        at += width;
    }
}

uint32_t TailU16(const SetEntry12A1& e, size_t at) {
    return e.tail[at] | (e.tail[at + 1] << 8);
}

int32_t Log512X1000(uint16_t e) {
    return Scale1000(ConvertLog512(e));
}

// A sector row from a set entry with a strength (E1 != 0): its carrier's level is that of the
// carrier last seen on the row's channel, the highest carrier index first.
SectorRow RowFromSetEntry(const DecoderContext& ctx, const SetEntry12A1& e, int32_t kind) {
    SectorRow row;
    row.kind = kind;
    row.channel = ChannelOf(e.channelWord);
    row.sector = e.sector;
    for (int c = kCarrierCount - 1; c >= 0; --c) {
        if (ctx.carrierRates.channel[static_cast<size_t>(c)] != row.channel) continue;
        const double level = ctx.carrierRates.levelX1000[static_cast<size_t>(c)];
        if (level != kNoValueD) row.carrierLevel = level / 1000.0;
        break;
    }
    row.level = ConvertLog512(e.e1);
    row.convertedLevel = ConvertSinrShare(static_cast<float>(row.level));
    return row;
}

void StoreWords(uint8_t* out, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        StoreLE(out, w);
        out += 4;
    }
}

uint32_t U(int32_t v) {
    return static_cast<uint32_t>(v);
}

}  // namespace

// ---- 0x129C ----

int Parse129C(PacketView packet, Record129C& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        if (rec.version != 1) return;
        rec.b1 = ReadLe<uint8_t>(t);
        rec.b2 = ReadLe<uint8_t>(t);
        rec.h3 = ReadLe<uint16_t>(t);
        rec.h5 = ReadLe<uint16_t>(t);
        rec.count = ReadLe<uint8_t>(t);
        for (int i = 0; i < std::min<int>(rec.count, kMaxCarrierBlocks); ++i) {
            LevelEntry129C& e = rec.entries[static_cast<size_t>(i)];
            e.carrier = ReadLe<uint8_t>(t) & 0x0F;
            e.channelWord = ReadLe<uint16_t>(t);
            e.b3 = ReadLe<uint8_t>(t);
            for (int16_t& l : e.level) l = ReadLe<int16_t>(t);
        }
    });
}

void HandleCarrierLevels129C(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record129C& rec = ctx.secondScratch.levels129C;
    ZeroRecord(rec);
    Parse129C(packet, rec);
    ParamRun run(ctx);
    for (int i = 0; i < std::min<int>(rec.count, kMaxCarrierBlocks); ++i) {
        const LevelEntry129C& e = rec.entries[static_cast<size_t>(i)];
        std::array<float, 6> v{};
        for (const LevelTarget& target : kLevelTargets) {
            const float raw =
                static_cast<float>(e.level[static_cast<size_t>(target.level)] / 256.0);
            v[static_cast<size_t>(target.level)] = MaxFloat(MinFloat(raw, target.hi), target.lo);
        }
        if (IsCarrier(e.carrier)) {
            for (const LevelTarget& target : kLevelTargets) {
                run.Set(target.ids[e.carrier], Scale1000(v[static_cast<size_t>(target.level)]));
            }
            ctx.carrierRates.levelX1000[e.carrier] = static_cast<double>(v[kReceiveLevel]) * 1000.0;
        }
        if (ChannelOf(e.channelWord) == ctx.referenceValue) {
            for (const LevelTarget& target : kLevelTargets) {
                const int32_t stored = Scale1000(v[static_cast<size_t>(target.level)]);
                run.Set(target.any, stored);
                if (target.level == kReceiveLevel) ctx.lastValue018001 = stored;
            }
        }
    }
}

// ---- 0x1295 ----

int Parse1295(PacketView packet, Record1295& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        rec.b1 = ReadLe<uint8_t>(t);
        rec.w2 = ReadLe<uint32_t>(t);
        rec.h6 = ReadLe<uint16_t>(t);
        rec.b8 = ReadLe<uint8_t>(t);
        rec.b9 = ReadLe<uint8_t>(t);
        rec.count = ReadLe<uint8_t>(t);
        rec.blocksRead = ReadEntries(t, std::min<int>(rec.count, kMaxCarrierBlocks), [&](int j) {
            ServingBlock& b = rec.blocks[static_cast<size_t>(j)];
            b.carrier = ReadLe<uint8_t>(t) & 0x0F;
            b.channelWord = ReadLe<uint16_t>(t);
            b.b3 = ReadLe<uint8_t>(t);
            b.count = ReadLe<uint8_t>(t);
            // Only version 1 carries sub-entries, whatever the count says.
            if (rec.version != 1) return;
            const int subEntries = std::min<int>(b.count, kMaxServingSubEntries);
            b.subEntriesRead = ReadEntries(t, subEntries, [&](int i) {
                ServingSubEntry& s = b.subEntries[static_cast<size_t>(i)];
                s.sector = ReadLe<uint16_t>(t);
                s.value2 = ReadLe<uint32_t>(t);
                s.e0 = ReadLe<uint16_t>(t);
                s.flags = ReadLe<uint8_t>(t);
                s.b9 = ReadLe<uint8_t>(t);
                s.e1 = ReadLe<uint16_t>(t);
                s.e2 = ReadLe<uint16_t>(t);
                s.value14 = ReadLe<uint32_t>(t);
                s.value18 = ReadLe<uint32_t>(t);
            });
        });
    });
}

void HandleServingSectorsParams1295(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record1295& rec = ctx.secondScratch.serving1295;
    ZeroRecord(rec);
    Parse1295(packet, rec);
    ParamRun run(ctx);
    for (int j = 0; j < rec.blocksRead; ++j) {
        const ServingBlock& b = rec.blocks[static_cast<size_t>(j)];
        // The selected sub-entries are the carrier's serving sectors: the last one is named,
        // the strongest gives the level.
        float best = kNoValueF;
        int32_t selected = kNoValue;
        int flagged = 0;
        for (int i = 0; i < b.subEntriesRead; ++i) {
            const ServingSubEntry& s = b.subEntries[static_cast<size_t>(i)];
            if ((s.flags & 0x01) == 0) continue;
            selected = s.sector;
            const float x = static_cast<float>(ConvertLog512(static_cast<int16_t>(s.e0)));
            if (x > best) best = x;
            ++flagged;
        }
        if (flagged == 0) continue;
        const int32_t channel = ChannelOf(b.channelWord);
        const int32_t band = BandOf(b.channelWord);
        if (IsCarrier(b.carrier)) {
            run.Set(kServingChannel[b.carrier], channel);
            ctx.carrierRates.channel[b.carrier] = channel;
            run.Set(kServingBand[b.carrier], band);
            run.Set(kServingSector[b.carrier], selected);
            if (best != kNoValueF) {
                run.Set(kServingLevel[b.carrier], Scale1000(best));
                run.Set(kServingLevelCopy[b.carrier], Scale1000(best));
            }
        }
        if (channel == ctx.referenceValue) {
            run.Set(kRefChannel, channel);
            run.Set(kRefBand, band);
            if (best != kNoValueF) {
                run.Set(kBestLevel, Scale1000(best));
                run.Set(kBestLevelCopy, Scale1000(best));
                ctx.bestLevelX1000 = static_cast<double>(best) * 1000.0;
            }
        }
    }
}

void HandleServingSectorsStruct1295(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record1295& rec = ctx.secondScratch.serving1295;
    ZeroRecord(rec);
    Parse1295(packet, rec);
    uint8_t* blob = ctx.secondScratch.blob.data();
    std::memset(blob, 0, kServingBlob.capacity);
    blob[0] = rec.count;
    for (int j = 0; j < std::min<int>(rec.blocksRead, kServingBlobBlocks); ++j) {
        const ServingBlock& b = rec.blocks[static_cast<size_t>(j)];
        StoreWords(blob + kServingHeaderAt + 12 * static_cast<size_t>(j),
                   {U(ChannelOf(b.channelWord)), b.carrier, U(BandOf(b.channelWord))});
        uint8_t* section = blob + kServingSectionAt + kServingSectionSize * static_cast<size_t>(j);
        uint8_t* record = section + 13;
        int valid = 0;
        for (int i = 0; i < b.subEntriesRead; ++i) {
            const ServingSubEntry& s = b.subEntries[static_cast<size_t>(i)];
            if (s.sector == kUnusedSector) continue;
            // The count tells every valid sub-entry; the section has room for 12 of them.
            if (valid++ >= kServingSectionRecords) continue;
            StoreLE(record + 0, s.sector);
            StoreLE(record + 2, ConvertLog512(s.e0) * 1000.0);
            StoreLE(record + 10, s.e1 != 0 ? ConvertLog512(s.e1) * 1000.0 : kNoValueD);
            StoreLE(record + 18, s.e2 != 0 ? ConvertLog512(s.e2) * 1000.0 : kNoValueD);
            StoreLE(record + 26, s.value2);
            const uint8_t bits[6] = {
                static_cast<uint8_t>(s.b9 & 0x07),        static_cast<uint8_t>((s.b9 >> 4) & 0x07),
                static_cast<uint8_t>(s.flags >> 4),       static_cast<uint8_t>((s.flags >> 2) & 1),
                static_cast<uint8_t>((s.flags >> 1) & 1), static_cast<uint8_t>(s.flags & 1)};
            std::memcpy(record + 30, bits, sizeof bits);
            record += kServingRecordSize;
        }
        section[12] = static_cast<uint8_t>(valid);
    }
    StructRun srun(ctx);
    srun.Set(kServingBlob, blob, kServingBlob.capacity);
    if (ctx.sectorTable.Used() > 0) {
        StoreSectorTable(blob, ctx.sectorTable);
        srun.Set(kSectorTableBlob, blob, kSectorTableBlob.capacity);
        srun.SetDataToPayload(kSectorTableBlob);
    }
}

// ---- 0x12A1 ----

int Parse12A1(PacketView packet, Record12A1& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        if (rec.version != 1) return;
        rec.b1 = ReadLe<uint8_t>(t);
        rec.b2 = ReadLe<uint8_t>(t);
        rec.countA = ReadLe<uint8_t>(t);
        rec.b4 = ReadLe<uint8_t>(t);
        rec.h5 = ReadLe<uint16_t>(t);
        rec.countB = ReadLe<uint8_t>(t);
        rec.b8 = ReadLe<uint8_t>(t);
        rec.countC = ReadLe<uint8_t>(t);
        rec.b10 = ReadLe<uint8_t>(t);
        rec.h11 = ReadLe<uint16_t>(t);
        rec.readA = ReadEntries(t, rec.countA, [&](int i) {
            ReadSetEntry(t, rec.setA[static_cast<size_t>(i)], kTailA);
        });
        rec.readB = ReadEntries(t, rec.countB, [&](int i) {
            ReadSetEntry(t, rec.setB[static_cast<size_t>(i)], kTailB);
        });
        rec.readC = ReadEntries(t, rec.countC, [&](int i) {
            ReadSetEntry(t, rec.setC[static_cast<size_t>(i)], kTailC);
        });
    });
}

void HandleSectorSetsParams12A1(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record12A1& rec = ctx.secondScratch.sectorSets12A1;
    ZeroRecord(rec);
    Parse12A1(packet, rec);
    ParamRun run(ctx);
    ctx.sectorTable.Clear();
    if (rec.version != 1) return;
    int32_t flagged = 0;
    for (int i = 0; i < rec.readA; ++i) {
        const SetEntry12A1& e = rec.setA[static_cast<size_t>(i)];
        if (e.e1 == 0) continue;
        const SectorRow row = RowFromSetEntry(ctx, e, kSectorKindActive);
        if (e.tail[1] & kReferenceFlag) {
            ++flagged;
            run.Set(kRefChannel, row.channel);
            ctx.referenceValue = row.channel;
            run.Set(kRefBand, BandOf(e.channelWord));
        }
        ctx.sectorTable.Insert(row);
    }
    run.Set(kFlaggedCount, std::clamp<int32_t>(flagged, 0, kMaxFlaggedCount));
    for (int i = 0; i < rec.readB; ++i) {
        const SetEntry12A1& e = rec.setB[static_cast<size_t>(i)];
        if (e.e1 != 0) ctx.sectorTable.Insert(RowFromSetEntry(ctx, e, kSectorKindCandidate));
    }
    for (int i = 0; i < rec.readC; ++i) {
        const SetEntry12A1& e = rec.setC[static_cast<size_t>(i)];
        if (e.e1 != 0) ctx.sectorTable.Insert(RowFromSetEntry(ctx, e, kSectorKindNeighbour));
    }
}

void HandleSectorSetsStruct12A1(DecoderContext& ctx, PacketView packet, int32_t) {
    Record12A1& rec = ctx.secondScratch.sectorSets12A1;
    ZeroRecord(rec);
    Parse12A1(packet, rec);
    uint8_t* blob = ctx.secondScratch.blob.data();
    StructRun srun(ctx);

    std::memset(blob, 0, kSetABlob.capacity);
    blob[0] = rec.b1;
    blob[1] = rec.countA;
    blob[2] = rec.b4;
    blob[3] = rec.b2;
    for (int i = 0; i < std::min<int>(rec.readA, kSetAPublished); ++i) {
        const SetEntry12A1& e = rec.setA[static_cast<size_t>(i)];
        std::array<uint32_t, 10> x{};  // entry bytes from offset 9
        std::copy(e.tail.begin(), e.tail.end(), x.begin());
        StoreWords(blob + 7 + kSetARecordWords * 4 * static_cast<size_t>(i),
                   {U(ChannelOf(e.channelWord)),
                    U(BandOf(e.channelWord)),
                    e.sector,
                    U(Log512X1000(e.e1)),
                    U(Log512X1000(e.e2)),
                    0,
                    x[0],
                    x[1] & 3u,
                    (x[1] >> 2) & 1u,
                    (x[1] >> 3) & 3u,
                    x[1] >> 5,
                    x[2] & 0x0Fu,
                    x[2] >> 4,
                    x[3] & 7u,
                    (x[3] >> 3) & 1u,
                    (x[3] >> 4) & 1u,
                    x[4] | ((x[5] & 3u) << 8),
                    (x[5] >> 2) & 7u,
                    x[5] >> 5,
                    x[6] & 0x7Fu,
                    e.channelWord & 0xFFu,
                    TailU16(e, 8)});
    }
    srun.Set(kSetABlob, blob, kSetABlob.capacity);

    std::memset(blob, 0, kSetBBlob.capacity);
    blob[0] = rec.b1;
    blob[1] = rec.countB;
    blob[2] = rec.b8;
    for (int i = 0; i < std::min<int>(rec.readB, kSetBPublished); ++i) {
        const SetEntry12A1& e = rec.setB[static_cast<size_t>(i)];
        StoreWords(
            blob + 3 + kSetBCRecordWords * 4 * static_cast<size_t>(i),
            {U(ChannelOf(e.channelWord)), U(BandOf(e.channelWord)), e.sector, U(Log512X1000(e.e1)),
             U(Log512X1000(e.e2)), e.b6, (e.tail[0] >> 1) & 1u, e.tail[0] & 1u, TailU16(e, 1)});
    }
    srun.Set(kSetBBlob, blob, kSetBBlob.capacity);

    std::memset(blob, 0, kSetCBlob.capacity);
    blob[0] = rec.b1;
    blob[1] = rec.countC;
    auto levelOrMark = [](uint16_t e) { return U(e != 0 ? Log512X1000(e) : kNoValue); };
    for (int i = 0; i < std::min<int>(rec.readC, kSetCPublished); ++i) {
        const SetEntry12A1& e = rec.setC[static_cast<size_t>(i)];
        StoreWords(blob + 2 + kSetBCRecordWords * 4 * static_cast<size_t>(i),
                   {U(ChannelOf(e.channelWord)), 0, e.sector, levelOrMark(e.e1), levelOrMark(e.e2),
                    e.b6, e.tail[2] & 7u, 0, TailU16(e, 3)});
    }
    srun.Set(kSetCBlob, blob, kSetCBlob.capacity);
}

}  // namespace tessavo

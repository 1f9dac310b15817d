#include "decoders/evdo/ratio_blocks.h"

#include <algorithm>

#include "bits/conversions.h"
#include "bits/portable_math.h"
#include "decoders/evdo/carrier_params.h"
#include "decoders/record_reader.h"
#include "params/param_lists.h"

namespace tessavo {
namespace {

// The per-carrier IDs of a carrier-independent one: same low 12 bits.
consteval CarrierIds PerCarrierOf(ParamRef any) {
    return PerCarrier(any.id & 0xFFF);
}

struct RatioTarget {
    int num, den;
    CarrierIds ids;
    ParamRef any;
};
consteval RatioTarget Target(RatioSource s) {
    return {s.num, kRatioDen, PerCarrierOf(s.any), s.any};
}
constexpr RatioTarget kRatios[] = {Target(kRatioSources[0]), Target(kRatioSources[1]),
                                   Target(kRatioSources[2]), Target(kRatioSources[3]),
                                   Target(kRatioSources[4])};
static_assert(std::size(kRatios) == std::size(kRatioSources));
constexpr int kRatioCount = static_cast<int>(std::size(kRatios));
constexpr CarrierIds kPacketBits = PerCarrierOf(kPacketBitsAny);

constexpr CarrierIds kFlagBit = PerCarrierOf(kFlagBitAny);
constexpr CarrierIds kQuarter = PerCarrierOf(kQuarterAny);
constexpr uint16_t kNoQuarter = 65535;
constexpr uint8_t kFlagBitMask = 0x10;

constexpr CarrierIds kNorm = PerCarrier(0x50F);
constexpr ParamRef kNormAny = Param(0x7F01850F);
constexpr CarrierIds kEntryValue[kMaxEntries127F] = {
    PerCarrier(0x50A), PerCarrier(0x50B), PerCarrier(0x50C), PerCarrier(0x50D), PerCarrier(0x50E)};
constexpr ParamRef kEntryValueAny[kMaxEntries127F] = {
    Param(0x7F01850A), Param(0x7F01850B), Param(0x7F01850C), Param(0x7F01850D), Param(0x7F01850E)};

void ReadRatioEntry(FieldTemps& t, RatioEntry& e) {
    e.b0 = ReadLe<uint8_t>(t);
    const uint8_t b1 = ReadLe<uint8_t>(t);
    e.sizeIndex = b1 & 0x0F;
    e.b1High = b1 >> 4;
    e.b2 = ReadLe<uint8_t>(t);
    for (uint16_t& u : e.u) u = ReadLe<uint16_t>(t);
}

// A value that cannot be formed from this packet keeps the last one current: an inherited
// parameter is listed again with its old value.
void Relist(ParamRun& run, ParamRef p) {
    const ParamStore& store = run.Context();
    const DecodeParam& rec = store.item.ParamAt(p.offset);
    if (IsParamTouched(store, p.offset) && rec.state == TESSAVO_STATE_INHERITED)
        run.Set(p, rec.value);
}

int Clamped(int count, int capacity) {
    return std::min(count, capacity);
}

}  // namespace

float ClampedDb(double ratio) {
    const auto v = static_cast<float>(20.0 * Log10(ratio));
    return MaxFloat(MinFloat(v, 30.0f), -16.0f);
}

bool RatioDb(uint16_t a, uint16_t b, float& db) {
    if (a == 0 || b == 0) return false;
    db = ClampedDb(static_cast<double>(a) / b);
    return true;
}

// ---- 0x127D ----

int Parse127D(PacketView packet, Record127D& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        rec.count = ReadLe<uint8_t>(t);
        ReadEntries(t, Clamped(rec.count, kMaxRatioEntries127D),
                    [&](int i) { ReadRatioEntry(t, rec.entries[static_cast<size_t>(i)]); });
    });
}

void HandleRatios127D(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record127D& rec = ctx.secondScratch.ratios127D;
    ZeroRecord(rec);
    Parse127D(packet, rec);
    ParamRun run(ctx);
    if (rec.count == 0) return;
    const RatioEntry& e = rec.entries[0];
    for (const RatioTarget& r : kRatios) {
        float db = 0.0f;
        if (!RatioDb(e.u[static_cast<size_t>(r.num)], e.u[static_cast<size_t>(r.den)], db)) {
            Relist(run, r.any);
        } else if (db != 0.0f) {
            run.Set(r.any, Scale1000(db));
        }
    }
    if (e.sizeIndex != 0) {
        run.Set(kPacketBitsAny, PacketSizeIndexToBits(e.sizeIndex));
    } else {
        Relist(run, kPacketBitsAny);
    }
}

// ---- 0x129D ----

int Parse129D(PacketView packet, Record129D& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        if (rec.version != 1) return;
        rec.entryCount = ReadLe<uint8_t>(t);
        rec.blockCount = ReadLe<uint8_t>(t);
        const int entries = Clamped(rec.entryCount, kMaxRatioSubEntries);
        ReadEntries(t, entries,
                    [&](int) { ReadUnused<uint8_t, uint8_t, uint8_t, uint16_t, uint16_t>(t); });
        rec.blocksRead = ReadEntries(t, Clamped(rec.blockCount, kMaxRatioBlocks), [&](int j) {
            RatioBlock129D& b = rec.blocks[static_cast<size_t>(j)];
            b.carrier = ReadLe<uint8_t>(t) & 0x0F;
            b.channelWord = ReadLe<uint16_t>(t);
            b.subEntriesRead = ReadEntries(t, entries, [&](int i) {
                ReadRatioEntry(t, b.subEntries[static_cast<size_t>(i)]);
            });
        });
    });
}

void HandleRatios129D(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record129D& rec = ctx.secondScratch.ratios129D;
    ZeroRecord(rec);
    Parse129D(packet, rec);
    if (rec.version != 1) return;
    ParamRun run(ctx);
    // The ratios are those of the last sub-entry read (kept from block to block when a block
    // has none); the packet size is the largest seen so far in the packet.
    std::array<float, kRatioCount> db{};
    int32_t largestBits = 0;
    for (int j = 0; j < rec.blocksRead; ++j) {
        const RatioBlock129D& b = rec.blocks[static_cast<size_t>(j)];
        for (int i = 0; i < b.subEntriesRead; ++i) {
            const RatioEntry& e = b.subEntries[static_cast<size_t>(i)];
            for (int k = 0; k < kRatioCount; ++k) {
                float& v = db[static_cast<size_t>(k)];
                if (!RatioDb(e.u[static_cast<size_t>(kRatios[k].num)],
                             e.u[static_cast<size_t>(kRatios[k].den)], v)) {
                    v = 0.0f;
                }
            }
            largestBits = std::max(largestBits, PacketSizeIndexToBits(e.sizeIndex));
        }
        if (IsCarrier(b.carrier)) {
            for (int k = 0; k < kRatioCount; ++k) {
                const float v = db[static_cast<size_t>(k)];
                if (v != 0.0f) run.Set(kRatios[k].ids[b.carrier], Scale1000(v));
            }
            run.Set(kPacketBits[b.carrier], largestBits);
        }
        if (ChannelOf(b.channelWord) == ctx.referenceValue) {
            for (int k = 0; k < kRatioCount; ++k) {
                const float v = db[static_cast<size_t>(k)];
                if (v != 0.0f) run.Set(kRatios[k].any, Scale1000(v));
            }
            run.Set(kPacketBitsAny, largestBits);
        }
    }
}

// ---- 0x1280 ----

int Parse1280(PacketView packet, Record1280& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        if (rec.version != 0) return;
        rec.b1 = ReadLe<uint8_t>(t);
        rec.flags = ReadLe<uint16_t>(t) & 0x0FFF;
        rec.b4 = ReadLe<uint8_t>(t);
        rec.quarter = ReadLe<uint16_t>(t);
        rec.h7 = ReadLe<uint16_t>(t);
        rec.count = ReadLe<uint8_t>(t);
    });
}

void HandleQuarter1280(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record1280 rec;
    Parse1280(packet, rec);
    if (rec.version != 0) return;
    ParamRun run(ctx);
    run.Set(kFlagBitAny, (rec.b4 & kFlagBitMask) ? 1 : 0);
    run.Set(kQuarterAny, rec.quarter / 4);
}

// ---- 0x129A ----

int Parse129A(PacketView packet, Record129A& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.head[0] = ReadLe<uint8_t>(t);
        if (rec.head[0] != 0) return;
        for (size_t i = 1; i < rec.head.size(); ++i) rec.head[i] = ReadLe<uint8_t>(t);
        const int entries = Clamped(rec.head[3], kMaxRatioSubEntries);
        ReadEntries(t, entries, [&](int) { ReadUnused<uint8_t, uint16_t, uint32_t>(t); });
        rec.blocksRead = ReadEntries(t, Clamped(rec.head[2], kMaxRatioBlocks), [&](int j) {
            QuarterBlock129A& b = rec.blocks[static_cast<size_t>(j)];
            b.carrier = ReadLe<uint8_t>(t);
            b.channel = ReadLe<uint16_t>(t);
            ReadUnused<uint8_t, uint16_t, uint16_t>(t);
            b.quarter = ReadLe<uint16_t>(t);
            ReadUnused<uint16_t>(t);
            b.flagByte = ReadLe<uint8_t>(t);
            ReadEntries(t, entries, [&](int) {
                ReadUnused<uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, uint8_t>(t);
            });
        });
    });
}

void HandleQuarter129A(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record129A rec;
    Parse129A(packet, rec);
    if (rec.head[0] != 0) return;
    ParamRun run(ctx);
    // A block without a quarter value repeats the previous block's.
    double quarter = kNoValueD;
    for (int j = 0; j < rec.blocksRead; ++j) {
        const QuarterBlock129A& b = rec.blocks[static_cast<size_t>(j)];
        if (b.quarter < kNoQuarter) quarter = b.quarter / 4.0;
        const int32_t flag = (b.flagByte & kFlagBitMask) ? 1 : 0;
        if (IsCarrier(b.carrier)) {
            run.Set(kFlagBit[b.carrier], flag);
            if (quarter != kNoValueD) run.Set(kQuarter[b.carrier], TruncToI32(quarter));
        }
        if (b.channel == ctx.referenceValue) {
            run.Set(kFlagBitAny, flag);
            if (quarter != kNoValueD) run.Set(kQuarterAny, TruncToI32(quarter));
        }
    }
}

// ---- 0x127F ----

int Parse127F(PacketView packet, Record127F& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.version = ReadLe<uint8_t>(t);
        if (rec.version != 0) return;
        ReadUnused<uint32_t, uint8_t, uint8_t, uint8_t, uint16_t, uint8_t, uint32_t>(t);
        rec.norm = ReadLe<int16_t>(t);
        rec.count = ReadLe<uint8_t>(t);
        for (int i = 0; i < Clamped(rec.count, kMaxEntries127F); ++i) {
            ReadUnused<uint16_t, uint32_t, uint32_t>(t);
            rec.entryValues[static_cast<size_t>(i)] = ReadLe<int8_t>(t);
            ReadUnused<uint8_t, uint32_t, uint32_t, uint8_t, uint32_t, uint32_t>(t);
        }
    });
}

void HandleEntryValues127F(DecoderContext& ctx, PacketView packet, int32_t) {
    if (IsMultiCarrier(ctx)) return;
    Record127F rec;
    Parse127F(packet, rec);
    if (rec.version != 0) return;
    ParamRun run(ctx);
    run.Set(kNormAny, Scale1000(static_cast<float>(rec.norm / 32767.0)));
    for (int i = 0; i < Clamped(rec.count, kMaxEntries127F); ++i) {
        run.Set(kEntryValueAny[i], rec.entryValues[static_cast<size_t>(i)]);
    }
}

// ---- 0x1299 ----

int Parse1299(PacketView packet, Record1299& rec) {
    return ReadLogRecord(packet, [&](FieldTemps& t) {
        rec.head[0] = ReadLe<uint8_t>(t);
        if (rec.head[0] != 1) return;
        for (size_t i = 1; i < rec.head.size(); ++i) rec.head[i] = ReadLe<uint8_t>(t);
        const int entries = Clamped(rec.head[3], kMaxRatioSubEntries);
        rec.blocksRead = ReadEntries(t, Clamped(rec.head[2], kMaxRatioBlocks), [&](int j) {
            NormBlock1299& b = rec.blocks[static_cast<size_t>(j)];
            b.carrier = ReadLe<uint8_t>(t);
            b.channel = ReadLe<uint16_t>(t);
            ReadUnused<uint8_t, uint8_t, uint8_t, uint32_t, uint32_t, uint16_t>(t);
            b.norm = ReadLe<int16_t>(t);
            b.entriesRead = ReadEntries(t, entries, [&](int i) {
                ReadUnused<uint16_t, uint32_t, uint32_t>(t);
                b.entryValues[static_cast<size_t>(i)] = ReadLe<int8_t>(t);
                ReadUnused<uint8_t, uint32_t, uint32_t, uint32_t, uint32_t, uint8_t>(t);
            });
        });
    });
}

void HandleEntryValues1299(DecoderContext& ctx, PacketView packet, int32_t) {
    if (!IsMultiCarrier(ctx)) return;
    Record1299& rec = ctx.secondScratch.entries1299;
    ZeroRecord(rec);
    Parse1299(packet, rec);
    if (rec.head[0] != 1) return;
    ParamRun run(ctx);
    for (int j = 0; j < rec.blocksRead; ++j) {
        const NormBlock1299& b = rec.blocks[static_cast<size_t>(j)];
        const int entries = std::min(b.entriesRead, kMaxEntries127F);
        // The normalised value rounded half away from zero.
        const double q = b.norm / 32767.0;
        const int32_t n = b.norm >= 1   ? TruncToI32(q + 0.5)
                          : b.norm == 0 ? TruncToI32(q)
                                        : TruncToI32(q - 0.5);
        if (IsCarrier(b.carrier)) {
            run.Set(kNorm[b.carrier], n);
            for (int i = 0; i < entries; ++i) {
                run.Set(kEntryValue[i][b.carrier], b.entryValues[static_cast<size_t>(i)]);
            }
        }
        if (b.channel == ctx.referenceValue) {
            run.Set(kNormAny, TruncToI32(n * 1000.0));
            for (int i = 0; i < entries; ++i) {
                run.Set(kEntryValueAny[i], b.entryValues[static_cast<size_t>(i)]);
            }
        }
    }
}

}  // namespace tessavo

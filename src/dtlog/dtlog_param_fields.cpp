#include "dtlog/dtlog_param_fields.h"

#include <algorithm>
#include <bit>

#include "bits/packet_view.h"
#include "dtlog/dtlog_number.h"

namespace tessavo {
namespace {

// ---- Scalar sources ----

struct ScalarSource {
    uint32_t id;
    DtRecord record;
    int field;
    DtLogStyle style;
};

constexpr DtLogStyle kD = DtLogStyle::kDecimal;
constexpr DtLogStyle kF = DtLogStyle::kFixed;

constexpr ScalarSource kScalarSources[] = {
    // Drive measurements
    {0x7F010001, DtRecord::kDm, 0, kF},
    {0x7F018001, DtRecord::kDm, 1, kF},
    {0x7F018002, DtRecord::kDm, 2, kF},
    {0x7F018007, DtRecord::kDm, 3, kF},
    {0x7F018008, DtRecord::kDm, 4, kF},
    {0x7F01800B, DtRecord::kDm, 5, kD},
    {0x7F01800A, DtRecord::kDm, 6, kD},
    {0x7F018004, DtRecord::kDm, 7, kF},
    {0x7F010003, DtRecord::kDm, 8, kF},
    {0x7F010004, DtRecord::kDm, 9, kF},
    {0x7F01000C, DtRecord::kDm, 10, kF},
    {0x7F01000F, DtRecord::kDm, 11, kF},
    {0x7F01000E, DtRecord::kDm, 12, kF},
    {0x7F010011, DtRecord::kDm, 13, kF},
    {0x7F01000D, DtRecord::kDm, 14, kF},
    {0x7F010010, DtRecord::kDm, 15, kF},
    {0x7F010005, DtRecord::kDm, 18, kF},
    {0x7F010006, DtRecord::kDm, 19, kF},
    {0x7F010009, DtRecord::kDm, 20, kD},
    {0x7F010015, DtRecord::kDm, 21, kD},
    // Pilot set summary
    {0x7F01830C, DtRecord::kPsm, 8, kD},
    // Serving cell
    {0x7F01800E, DtRecord::kSc, 5, kD},
    {0x7F01800D, DtRecord::kSc, 6, kD},
    {0x7F01000A, DtRecord::kSc, 7, kD},
    {0x7F018010, DtRecord::kSc, 22, kD},
    {0x7F01800C, DtRecord::kSc, 23, kD},
    {0x7F01830A, DtRecord::kSc, 24, kD},
    // Handoff parameters
    {0x7F010018, DtRecord::kHop, 3, kD},
    // Power control
    {0x7F018005, DtRecord::kPcp, 9, kF},
    {0x7F018006, DtRecord::kPcp, 10, kF},
    // 1x quality
    {0x7F010201, DtRecord::kC1xQi, 0, kD},
    {0x7F010202, DtRecord::kC1xQi, 1, kD},
    {0x7F010203, DtRecord::kC1xQi, 2, kF},
    {0x7F010204, DtRecord::kC1xQi, 3, kF},
    {0x7F010205, DtRecord::kC1xQi, 4, kD},
    {0x7F010206, DtRecord::kC1xQi, 5, kD},
    {0x7F018101, DtRecord::kC1xQi, 10, kD},
    {0x7F018103, DtRecord::kC1xQi, 11, kD},
    {0x7F018105, DtRecord::kC1xQi, 12, kF},
    {0x7F018106, DtRecord::kC1xQi, 13, kF},
    {0x7F018107, DtRecord::kC1xQi, 14, kF},
    {0x7F018201, DtRecord::kC1xQi, 15, kD},
    {0x7F018206, DtRecord::kC1xQi, 16, kF},
    {0x7F018205, DtRecord::kC1xQi, 17, kD},
    {0x7F018207, DtRecord::kC1xQi, 18, kF},
    // 1x supplemental channel
    {0x7F010102, DtRecord::kC1xSmi, 0, kD},
    {0x7F010106, DtRecord::kC1xSmi, 1, kD},
    {0x7F01010A, DtRecord::kC1xSmi, 2, kF},
    {0x7F010103, DtRecord::kC1xSmi, 3, kF},
    {0x7F010107, DtRecord::kC1xSmi, 4, kF},
    // Second air interface state
    {0x7F018301, DtRecord::kCevs, 0, kD},
    {0x7F018302, DtRecord::kCevs, 1, kD},
    {0x7F018303, DtRecord::kCevs, 2, kD},
    {0x7F018304, DtRecord::kCevs, 3, kD},
    {0x7F018305, DtRecord::kCevs, 4, kD},
    {0x7F018306, DtRecord::kCevs, 5, kD},
    {0x7F018307, DtRecord::kCevs, 6, kD},
    {0x7F018308, DtRecord::kCevs, 7, kD},
    {0x7F018309, DtRecord::kCevs, 8, kD},
};

struct ScalarTarget {
    DtRecord record = DtRecord::kAp;
    int field = -1;  // -1: the parameter has no DTLog field
    DtLogStyle style = kD;
};

// Field of each scalar slot; a parameter without a slot, a field past its record or two
// parameters sharing a slot does not compile.
consteval std::array<ScalarTarget, kParamCount> BuildScalarTargets() {
    std::array<ScalarTarget, kParamCount> t{};
    for (const ScalarSource& s : kScalarSources) {
        const ParamRef ref = Param(s.id);
        if (s.field < 0 || s.field >= DtFieldCount(s.record)) throw "field outside its record";
        ScalarTarget& slot = t[ref.offset / kParamRecordSize];
        if (slot.field >= 0) throw "parameter mapped twice";
        slot = ScalarTarget{s.record, s.field, s.style};
    }
    return t;
}

constexpr std::array<ScalarTarget, kParamCount> kScalarTargets = BuildScalarTargets();

// ---- Structured sources: one little-endian word of a payload, in decimal ----

enum class Word : uint8_t { kU8, kI8, kU16, kI16, kI32 };

constexpr int WordSize(Word w) {
    switch (w) {
        case Word::kU8:
        case Word::kI8:
            return 1;
        case Word::kU16:
        case Word::kI16:
            return 2;
        case Word::kI32:
            return 4;
    }
    return 0;
}

struct WordSource {
    StructParamRef param;
    DtRecord record;
    int field;
    Word word;
    int position;  // byte offset in the payload
};

constexpr StructParamRef kServingSystem = StructParam(0x7F0107D0);
constexpr StructParamRef kPowerBytes = StructParam(0x7F0107D1);
constexpr StructParamRef kPowerWords = StructParam(0x7F0107D2);
constexpr StructParamRef kTrafficPower = StructParam(0x7F0107D3);
constexpr StructParamRef kPilotStatus = StructParam(0x7F0107D4);
constexpr StructParamRef kActiveSet = StructParam(0x7F0107D5);
constexpr StructParamRef kSubscriber = StructParam(0x7F0107FA);

constexpr WordSource kWordSources[] = {
    {kPowerWords, DtRecord::kAp, 0, Word::kI16, 8},
    {kPowerWords, DtRecord::kAp, 1, Word::kI16, 10},
    {kPowerWords, DtRecord::kAp, 2, Word::kI16, 16},
    {kPowerWords, DtRecord::kAp, 3, Word::kI16, 20},
    {kPowerWords, DtRecord::kAp, 4, Word::kI16, 18},
    {kPowerWords, DtRecord::kAp, 5, Word::kI16, 22},
    {kPowerWords, DtRecord::kAp, 6, Word::kI16, 14},
    {kPowerWords, DtRecord::kAp, 7, Word::kI16, 12},
    {kPowerWords, DtRecord::kPcp, 0, Word::kI16, 2},
    {kPowerWords, DtRecord::kPcp, 1, Word::kI16, 0},
    {kPowerWords, DtRecord::kPcp, 2, Word::kI16, 4},
    {kPowerWords, DtRecord::kPcp, 3, Word::kI16, 6},
    {kTrafficPower, DtRecord::kPcp, 2, Word::kI32, 0},
    {kPowerBytes, DtRecord::kPcp, 4, Word::kI8, 3},
    {kPowerBytes, DtRecord::kPcp, 5, Word::kI8, 2},
    {kPowerBytes, DtRecord::kPcp, 6, Word::kI8, 1},
    {kPowerBytes, DtRecord::kPcp, 7, Word::kI8, 0},
    {kPowerBytes, DtRecord::kPcp, 8, Word::kI8, 4},
    {kSubscriber, DtRecord::kSc, 0, Word::kU16, 4},
    {kSubscriber, DtRecord::kSc, 1, Word::kU8, 6},
    {kServingSystem, DtRecord::kSc, 2, Word::kU16, 2},
    {kServingSystem, DtRecord::kSc, 3, Word::kU16, 4},
    {kServingSystem, DtRecord::kSc, 4, Word::kU16, 6},
    {kServingSystem, DtRecord::kHop, 0, Word::kU16, 8},
    {kServingSystem, DtRecord::kHop, 1, Word::kI16, 10},
    {kServingSystem, DtRecord::kHop, 2, Word::kU16, 12},
    {kServingSystem, DtRecord::kHop, 4, Word::kU8, 17},
    {kServingSystem, DtRecord::kHop, 5, Word::kU8, 16},
    {kServingSystem, DtRecord::kHop, 6, Word::kU8, 18},
    {kServingSystem, DtRecord::kHop, 8, Word::kI8, 14},
    {kPilotStatus, DtRecord::kHop, 7, Word::kU16, 0},
};

consteval bool WordSourcesFit() {
    for (const WordSource& s : kWordSources) {
        if (s.position + WordSize(s.word) > static_cast<int>(s.param.capacity)) return false;
        if (s.field < 0 || s.field >= DtFieldCount(s.record)) return false;
    }
    return true;
}
static_assert(WordSourcesFit());

// Pilot status list: three counts at 2..4, then elements of two u16 from byte 5.
constexpr int kPsmCountsAt = 2;
constexpr int kPsmElementsAt = 5;
constexpr int kPsmElementSize = 4;
constexpr int kPsmMaxElements = 64;
static_assert(kPsmElementsAt + kPsmMaxElements * kPsmElementSize <= int{kPilotStatus.capacity});

// Active set list: an i32 count, then elements of i16, f64, i32 from byte 4.
constexpr int kAsfiElementsAt = 4;
constexpr int kAsfiElementSize = 14;
constexpr int kAsfiMaxElements = 12;
static_assert(kAsfiElementsAt + kAsfiMaxElements * kAsfiElementSize <= int{kActiveSet.capacity});
constexpr int16_t kAsfiMaxPn = 511;  // pilot offsets run 0..511

// Subscriber record: u32 at 0, u64 subscriber number at 7, its 15-character text at 15.
constexpr int kUiWordAt = 0;
constexpr int kUiNumberAt = 7;
constexpr int kUiTextAt = 15;
constexpr int kUiTextSize = 15;
static_assert(kUiTextAt + kUiTextSize <= int{kSubscriber.capacity});

int32_t ReadWord(const PacketView& p, Word w, int at) {
    switch (w) {
        case Word::kU8:
            return p.U8(at);
        case Word::kI8:
            return p.S8(at);
        case Word::kU16:
            return p.U16(at);
        case Word::kI16:
            return p.S16(at);
        case Word::kI32:
            return p.S32(at);
    }
    return 0;
}

void StoreNumber(DtLogBuilder& b, DtRecord r, int field, float v, DtLogStyle style) {
    b.Store(r, field, FormatDtLogNumber(v, style).View());
}

void RenderPilotStatus(const PacketView& p, DtLogBuilder& b) {
    const int countP = p.U8(kPsmCountsAt);
    const int countQ = p.U8(kPsmCountsAt + 1);
    const int countR = p.U8(kPsmCountsAt + 2);
    const int n = countP + countQ + countR;
    const int elements = std::min(n, kPsmMaxElements);
    StoreNumber(b, DtRecord::kPsm, 0, static_cast<float>(n), kD);

    DtListWriter pilots(b, DtRecord::kPsm, 1);
    for (int i = 0; i < elements; ++i) {
        const uint16_t pn = p.U16(kPsmElementsAt + i * kPsmElementSize);
        pilots.Add(FormatDtLogNumber(static_cast<float>(pn), kD).View());
    }
    // The set each pilot belongs to, as many times as the set counts.
    const std::array<int, 3> setCounts = {countP, countQ, countR};
    constexpr std::array<std::string_view, 3> kSetDigits = {"0", "1", "2"};
    for (size_t set = 0; set < setCounts.size(); ++set) {
        for (int i = 0; i < setCounts[set]; ++i) pilots.Add(kSetDigits[set]);
    }

    DtListWriter levels(b, DtRecord::kPsm, 2);
    for (int i = 0; i < elements; ++i) {
        const uint16_t halfDb = p.U16(kPsmElementsAt + i * kPsmElementSize + 2);
        levels.Add(FormatDtLogNumber(-static_cast<float>(halfDb) / 2.0f, kF).View());
    }
}

void RenderActiveSet(const PacketView& p, DtLogBuilder& b) {
    const int32_t m = std::min(p.S32(0), int32_t{kAsfiMaxElements});
    StoreNumber(b, DtRecord::kAsfi, 0, static_cast<float>(m), kD);
    DtListWriter pilots(b, DtRecord::kAsfi, 1);
    DtListWriter words(b, DtRecord::kAsfi, 2);
    DtListWriter levels(b, DtRecord::kAsfi, 4);
    for (int i = 0; i < m; ++i) {
        const int at = kAsfiElementsAt + i * kAsfiElementSize;
        const int16_t pn = p.S16(at);
        if (pn >= 0 && pn <= kAsfiMaxPn) pilots.Add(FormatDtLogNumber(pn, kD).View());
        words.Add(FormatDtLogNumber(static_cast<float>(p.S32(at + 10)), kD).View());
        const double level = std::bit_cast<double>(p.U64(at + 2));
        levels.Add(FormatDtLogNumber(NarrowToFloat(level), kF).View());
    }
}

void RenderSubscriber(const PacketView& p, DtLogBuilder& b) {
    b.Store(DtRecord::kUi, 0, std::span<const uint8_t>(p.Data() + kUiTextAt, kUiTextSize));
    StoreNumber(b, DtRecord::kUi, 1, static_cast<float>(p.U32(kUiWordAt)), DtLogStyle::kHex);
    StoreNumber(b, DtRecord::kUi, 2, static_cast<float>(p.U64(kUiNumberAt)), DtLogStyle::kHex);
}

}  // namespace

void RenderScalarParams(const ReportItem& item, DtLogBuilder& builder) {
    const int count = std::min<int>(item.curParamCount, kParamCount);
    for (int i = 0; i < count; ++i) {
        const uint16_t offset = item.curParamList[i];
        if (offset >= kParamCount * kParamRecordSize) continue;
        const DecodeParam& rec = item.ParamAt(offset);
        const ScalarTarget& t = kScalarTargets[offset / kParamRecordSize];
        if (t.field < 0 || rec.state != TESSAVO_STATE_FRESH) continue;
        // Scales are 1, 100 or 1000 by construction; the guard keeps the division defined.
        const int32_t scale = rec.scale > 0 ? rec.scale : 1;
        const float v = t.style == DtLogStyle::kFixed
                            ? static_cast<float>(static_cast<double>(rec.value) / scale)
                            : static_cast<float>(rec.value / scale);
        StoreNumber(builder, t.record, t.field, v, t.style);
    }
}

void RenderStructParams(const ReportItem& item, DtLogBuilder& builder) {
    const int count = std::min<int>(item.curStructCount, kStructParamCount);
    for (int i = 0; i < count; ++i) {
        const uint16_t offset = item.curStructList[i];
        if (offset > kStructParamAreaSize - kStructHeaderSize) continue;
        const uint8_t* record = item.structArea + offset;
        if (LoadLE<int32_t>(record) != TESSAVO_STATE_FRESH) continue;
        const uint32_t capacity = StructCapacityAtOffset(offset);
        const PacketView payload(record + kStructHeaderSize, static_cast<int32_t>(capacity));
        for (const WordSource& s : kWordSources) {
            if (s.param.offset != offset) continue;
            StoreNumber(builder, s.record, s.field,
                        static_cast<float>(ReadWord(payload, s.word, s.position)), kD);
        }
        if (offset == kPilotStatus.offset) RenderPilotStatus(payload, builder);
        if (offset == kActiveSet.offset) RenderActiveSet(payload, builder);
        if (offset == kSubscriber.offset) RenderSubscriber(payload, builder);
    }
}

}  // namespace tessavo

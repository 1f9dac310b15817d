// Scalar parameter table: 384 records at fixed slots, grouped in 31 ID ranges.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "tessavo/tessavo.h"

namespace tessavo {

inline constexpr int kParamCount = TESSAVO_SCALAR_PARAM_COUNT;
inline constexpr int kParamRecordSize = 16;
inline constexpr uint16_t kNoOffset = 0xFFFF;

static_assert(sizeof(DecodeParam) == 16);
static_assert(offsetof(DecodeParam, state) == 0);
static_assert(offsetof(DecodeParam, id) == 4);
static_assert(offsetof(DecodeParam, value) == 8);
static_assert(offsetof(DecodeParam, scale) == 12);

// One run of constant scale inside an ID range.
struct ScaleRun {
    uint32_t firstId;
    int32_t scale;
};

struct ParamRange {
    uint32_t firstId;
    uint32_t lastId;
    uint16_t firstSlot;
    // Scale changes at the listed IDs; up to 5 runs per range.
    std::array<ScaleRun, 5> scales;
};

// Slot order: ranges one after another; within a range slot follows the ID.
// Range 6 stands after range 5 although its IDs are lower.
inline constexpr std::array<ParamRange, 31> kParamRanges = {{
    {0x7F010001, 0x7F01001A, 0,
     {{{0x7F010001, 1000}, {0x7F010005, 100}, {0x7F010007, 1}, {0x7F01000C, 1000}, {0x7F010012, 1}}}},
    {0x7F010101, 0x7F01010C, 26, {{{0x7F010101, 1000}}}},
    {0x7F010201, 0x7F010206, 38, {{{0x7F010201, 1}, {0x7F010203, 100}, {0x7F010205, 1}}}},
    {0x7F010301, 0x7F01031F, 44, {{{0x7F010301, 1}}}},
    {0x7F010401, 0x7F010412, 75, {{{0x7F010401, 1}}}},
    {0x7F010191, 0x7F01019B, 93, {{{0x7F010191, 1}}}},
    {0x7F018001, 0x7F018012, 104, {{{0x7F018001, 1000}, {0x7F018009, 1}}}},
    {0x7F018101, 0x7F018107, 122, {{{0x7F018101, 1}, {0x7F018105, 100}}}},
    {0x7F018201, 0x7F01820B, 129, {{{0x7F018201, 1}, {0x7F018206, 100}, {0x7F018208, 1}}}},
    {0x7F018301, 0x7F01832F, 140, {{{0x7F018301, 1}}}},
    {0x7F018401, 0x7F018408, 187, {{{0x7F018401, 1}, {0x7F018407, 100}}}},
    {0x7F018501, 0x7F01850F, 195,
     {{{0x7F018501, 1}, {0x7F018502, 1000}, {0x7F018507, 1}, {0x7F01850F, 1000}}}},
    {0x7F019101, 0x7F01910E, 210, {{{0x7F019101, 1000}, {0x7F019109, 1}}}},
    {0x7F019201, 0x7F019207, 224, {{{0x7F019201, 1}, {0x7F019205, 100}}}},
    {0x7F019301, 0x7F019307, 231, {{{0x7F019301, 1}, {0x7F019306, 100}}}},
    {0x7F019401, 0x7F019409, 238, {{{0x7F019401, 1}, {0x7F019408, 100}}}},
    {0x7F019501, 0x7F01950F, 247, {{{0x7F019501, 1}, {0x7F019502, 1000}, {0x7F019507, 1}}}},
    {0x7F01A101, 0x7F01A10E, 262, {{{0x7F01A101, 1000}, {0x7F01A109, 1}}}},
    {0x7F01A201, 0x7F01A207, 276, {{{0x7F01A201, 1}, {0x7F01A205, 100}}}},
    {0x7F01A301, 0x7F01A307, 283, {{{0x7F01A301, 1}, {0x7F01A306, 100}}}},
    {0x7F01A401, 0x7F01A409, 290, {{{0x7F01A401, 1}, {0x7F01A408, 100}}}},
    {0x7F01A501, 0x7F01A50F, 299, {{{0x7F01A501, 1}, {0x7F01A502, 1000}, {0x7F01A507, 1}}}},
    {0x7F01B101, 0x7F01B10E, 314, {{{0x7F01B101, 1000}, {0x7F01B109, 1}}}},
    {0x7F01B201, 0x7F01B207, 328, {{{0x7F01B201, 1}}}},
    {0x7F01B301, 0x7F01B307, 335, {{{0x7F01B301, 1}}}},
    {0x7F01B401, 0x7F01B409, 342, {{{0x7F01B401, 1}}}},
    {0x7F01B501, 0x7F01B50F, 351, {{{0x7F01B501, 1}, {0x7F01B502, 1000}, {0x7F01B507, 1}}}},
    {0x7F01C101, 0x7F01C103, 366, {{{0x7F01C101, 1}}}},
    {0x7F1C0001, 0x7F1C0001, 369, {{{0x7F1C0001, 1}}}},
    {0x7F01D101, 0x7F01D10D, 370, {{{0x7F01D101, 1}}}},
    {0x7F1C8001, 0x7F1C8001, 383, {{{0x7F1C8001, 1}}}},
}};

// Slot of an ID, or kParamCount when the ID has none. Ranges are tested in table order.
constexpr int ParamSlotOf(uint32_t id) {
    for (const ParamRange& r : kParamRanges) {
        if (r.firstId <= id && id <= r.lastId) return r.firstSlot + static_cast<int>(id - r.firstId);
    }
    return kParamCount;
}

constexpr int32_t ParamScaleOf(uint32_t id) {
    for (const ParamRange& r : kParamRanges) {
        if (r.firstId <= id && id <= r.lastId) {
            int32_t scale = 1;
            for (const ScaleRun& s : r.scales) {
                if (s.firstId != 0 && s.firstId <= id) scale = s.scale;
            }
            return scale;
        }
    }
    return 1;
}

// ID of a slot (the inverse of ParamSlotOf).
constexpr uint32_t ParamIdOfSlot(int slot) {
    for (const ParamRange& r : kParamRanges) {
        const int count = static_cast<int>(r.lastId - r.firstId) + 1;
        if (slot >= r.firstSlot && slot < r.firstSlot + count) {
            return r.firstId + static_cast<uint32_t>(slot - r.firstSlot);
        }
    }
    return 0;
}

// A scalar parameter as decoders address it: ID plus its byte offset in the table.
struct ParamRef {
    uint32_t id;
    uint16_t offset;
};

// Compile-time reference; an ID without a slot does not compile.
consteval ParamRef Param(uint32_t id) {
    const int slot = ParamSlotOf(id);
    if (slot >= kParamCount) throw "parameter ID has no slot";
    return ParamRef{id, static_cast<uint16_t>(slot * kParamRecordSize)};
}

// Parameters that several decoders publish.
namespace param {
inline constexpr ParamRef kCallState = Param(0x7F010014);    // signalling / call activity
inline constexpr ParamRef kCdmaChannel = Param(0x7F010012);  // CDMA channel number
inline constexpr ParamRef kChannelState = Param(0x7F01C102);
inline constexpr ParamRef kModeC103 = Param(0x7F01C103);
}  // namespace param

static_assert(kParamRanges.back().firstSlot + 1 == kParamCount);
static_assert(param::kCallState.offset == 304);
static_assert(param::kChannelState.offset == 5872);
static_assert(param::kModeC103.offset == 5888);
static_assert(Param(0x7F010205).offset == 672);
static_assert(Param(0x7F010191).offset == 1488);
static_assert(Param(0x7F1C0001).offset == 5904);
static_assert(Param(0x7F1C8001).offset == 6128);
static_assert(ParamScaleOf(0x7F01850F) == 1000 && ParamScaleOf(0x7F01850E) == 1);
static_assert(ParamScaleOf(0x7F01B205) == 1 && ParamScaleOf(0x7F01A205) == 100);

// Run-time mapping for IDs taken from packets; prints the fixed message for an unknown ID.
uint16_t GetParamOffset(uint32_t id);

// Fills a table with its constructed records (state Cleared, value 0, ID and scale by slot).
void ConstructParamTable(DecodeParam* table);

}  // namespace tessavo

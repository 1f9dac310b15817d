// ID-to-offset mapping and construction of the scalar and structured parameter tables.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "params/param_table.h"
#include "params/report_item.h"
#include "params/struct_param_table.h"

namespace tessavo {
namespace {

// Offsets of IDs; 0xFFFF: no slot, and the function's message printed.
void ExpectOffsets(uint16_t (*fn)(uint32_t), const char* message,
                   std::initializer_list<std::pair<uint32_t, uint16_t>> cases) {
    for (const auto& [id, offset] : cases) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(fn(id), offset) << std::hex << id;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), offset == 0xFFFF ? message : "") << id;
    }
}

TEST(ParamTables, GetParamOffsetAndGetSParamOffset) {
    // clang-format off
    ExpectOffsets(GetParamOffset, "Function 'GetParamOffset' calculate the offset error\n", {
        {0x7F010001, 0}, {0x7F01001A, 400}, {0x7F01001B, 0xFFFF}, {0x7F010191, 1488}, {0x7F010014, 304},
        {0x7F010205, 672}, {0x7F01C102, 5872}, {0x7F01C103, 5888}, {0x7F1C0001, 5904}, {0x7F1C8001, 6128},
        {0x7F1C0002, 0xFFFF}, {0x7F01C104, 0xFFFF}, {0x7F0107D0, 0xFFFF}, {0x7F01D10D, 6112},
        {0x7F010101, 416}, {0, 0xFFFF}});
    ExpectOffsets(GetSParamOffset, "Function 'GetSParamOffset' calculate the offset error\n", {
        {0x7F0107D0, 0}, {0x7F0107D1, 35}, {0x7F0107F5, 3161}, {0x7F0107F7, 3666}, {0x7F0107F4, 32244},
        {0x7F0107F8, 0xFFFF}, {0x7F0107FC, 0xFFFF}, {0x7F0107CF, 0xFFFF}, {0x7F010014, 0xFFFF}});
    // clang-format on
}

TEST(ParamTable, EverySlotHasOneIdAndConstructedRecords) {
    std::set<uint32_t> ids;
    for (int slot = 0; slot < kParamCount; ++slot) {
        EXPECT_TRUE(ids.insert(ParamIdOfSlot(slot)).second) << slot;
        EXPECT_EQ(ParamSlotOf(ParamIdOfSlot(slot)), slot);
    }
    DecodeParam table[kParamCount];
    ConstructParamTable(table);
    struct {
        int slot;
        uint32_t id;
        int32_t scale;
    } const cases[] = {{0, 0x7F010001, 1000},   {4, 0x7F010005, 100},  {6, 0x7F010007, 1},
                       {11, 0x7F01000C, 1000},  {41, 0x7F010204, 100}, {93, 0x7F010191, 1},
                       {209, 0x7F01850F, 1000}, {208, 0x7F01850E, 1},  {332, 0x7F01B205, 1},
                       {280, 0x7F01A205, 100},  {369, 0x7F1C0001, 1},  {383, 0x7F1C8001, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(std::pair(table[c.slot].id, table[c.slot].scale), std::pair(c.id, c.scale))
            << c.slot;
    }
    for (const DecodeParam& p : table)
        EXPECT_EQ(std::pair(p.state, p.value), std::pair(-1, 0)) << p.id;
}

TEST(StructParamTable, RecordsTileTheAreaAndConstructedHeaders) {
    uint32_t total = 0;
    for (int i = 0; i < kStructParamCount; ++i) total += StructRecordSize(i);
    EXPECT_EQ(total, kStructParamAreaSize);
    EXPECT_EQ(StructCapacityAtOffset(116), 261u);
    EXPECT_EQ(StructCapacityAtOffset(34558), 24u);
    EXPECT_EQ(StructCapacityAtOffset(1), 0u);
    auto item = std::make_unique<ReportItem>();
    ConstructReportItem(*item);
    for (int i = 0; i < kStructParamCount; ++i) {
        StructRecordView rec = item->StructAt(kStructParamOffsets[static_cast<size_t>(i)]);
        EXPECT_EQ(rec.State(), -1);
        EXPECT_EQ(rec.Id(), 0x7F0107D0u + static_cast<uint32_t>(i));
        EXPECT_EQ(rec.Length(), 0u);
        EXPECT_EQ(rec.Data(), 0u);
    }
    // The header of 0x7F0107D1 starts at byte 35 of the area: its ID bytes sit at 39..42.
    EXPECT_EQ(item->structArea[39], 0xD1);
    EXPECT_EQ(item->structArea[34558 + 4], 0xFC);
    EXPECT_EQ(item->direction, 2);
}

}  // namespace
}  // namespace tessavo

// ID-to-offset mapping, construction of the parameter tables, and the life cycle of parameter
// states and the current / inherited lists across packets.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "params/param_lists.h"
#include "params/param_table.h"
#include "params/report_item.h"
#include "params/struct_param_table.h"

namespace tessavo {
namespace {

class ParamLists : public ::testing::Test {
  protected:
    std::unique_ptr<ParamStore> ctx = std::make_unique<ParamStore>();

    using Offsets = std::vector<uint16_t>;
    static Offsets List(const uint16_t* l, int n) { return {l, l + n}; }
    Offsets Current() const { return List(ctx->item.curParamList, ctx->item.curParamCount); }
    Offsets Inherited() const { return List(ctx->item.inhParamList, ctx->item.inhParamCount); }
    int32_t State(ParamRef p) const { return ctx->item.ParamAt(p.offset).state; }
};

constexpr ParamRef kA = Param(0x7F010205);  // offset 672
constexpr ParamRef kB = Param(0x7F010001);  // offset 0
constexpr ParamRef kC = Param(0x7F018328);
constexpr ParamRef k14 = Param(0x7F010014);  // offset 304

TEST_F(ParamLists, StatesListOrdersClearingGroupsAndModeParameters) {
    using V = std::vector<uint16_t>;
    const auto lists = [&] { return std::tuple(Current(), Inherited(), State(kA)); };
    ResetParamLists(*ctx);
    ParamRun(*ctx).Set(kA, 7);
    EXPECT_EQ(lists(), std::tuple(V{672}, V{}, 1));
    ResetParamLists(*ctx);  // next packet, no decoder
    EXPECT_EQ(lists(), std::tuple(V{}, V{672}, 0));
    ParamRun(*ctx).Clear(kA);
    EXPECT_EQ(std::pair(Current(), State(kA)), std::pair(V{672}, -1));
    EXPECT_EQ(ctx->item.ParamAt(kA.offset).value, 7);  // the host sees the last value
    ResetParamLists(*ctx);
    EXPECT_EQ(lists(), std::tuple(V{}, V{}, -2));
    ParamRun(*ctx).Set(kA, 9);  // written again: valid again
    EXPECT_EQ(State(kA), 1);
    ctx = std::make_unique<ParamStore>();  // inherited lists keep the order of first writes
    ResetParamLists(*ctx);
    {
        ParamRun run(*ctx);
        run.Set(kC, 1), run.Set(kA, 2), run.Set(kB, 3);
    }
    ResetParamLists(*ctx);
    ParamRun(*ctx).Set(kB, 4);  // rewriting does not move it in the touched order
    ResetParamLists(*ctx);
    EXPECT_EQ(Inherited(), (std::vector<uint16_t>{kC.offset, kA.offset, kB.offset}));

    // A second run in one packet rewrites the current list from its start but keeps 0x7F010014.
    ResetParamLists(*ctx);
    {
        ParamRun first(*ctx);
        first.Set(k14, 1), first.Set(kA, 2);
    }
    ParamRun(*ctx).Set(kB, 3);
    EXPECT_EQ(Current(), (std::vector<uint16_t>{kB.offset, k14.offset}));

    // Structured lists follow offset order.
    constexpr StructParamRef kLate = StructParam(0x7F0107E2);   // offset 12085
    constexpr StructParamRef kEarly = StructParam(0x7F0107F5);  // offset 3161
    const uint8_t blob[3] = {1, 2, 3};
    ResetParamLists(*ctx);
    {
        StructRun run(*ctx);
        run.Set(kLate, blob, sizeof blob), run.Set(kEarly, blob, sizeof blob);
    }
    StructRecordView rec = ctx->item.StructAt(kEarly.offset);
    EXPECT_EQ(rec.Length(), kEarly.capacity);  // full capacity, zero-filled
    EXPECT_EQ(std::vector<uint8_t>(rec.Payload(), rec.Payload() + 4),
              (std::vector<uint8_t>{1, 2, 3, 0}));
    ResetParamLists(*ctx);
    const uint16_t* inh = ctx->item.inhStructList;
    EXPECT_EQ(std::vector(inh, inh + ctx->item.inhStructCount),
              (std::vector{kEarly.offset, kLate.offset}));
    // Clearing a never written parameter changes nothing in the lists.
    ctx = std::make_unique<ParamStore>();
    ResetParamLists(*ctx);
    ClearParam(*ctx, kA.offset);
    EXPECT_EQ(std::pair(State(kA), IsParamTouched(*ctx, kA.offset)), std::pair(-1, false));
    BuildParamLists(*ctx);
    EXPECT_TRUE(Current().empty());

    // Group C is gated by the last 0x7F018309 value; group B starts with C.
    constexpr ParamRef kC0 = Param(0x7F01000C);
    ResetParamLists(*ctx);
    ParamRun(*ctx).Set(kC0, 5);
    ctx->lastValue018309 = 3;
    ClearParamGroupC(*ctx);
    EXPECT_EQ(State(kC0), 1);
    ctx->lastValue018309 = 0;
    ClearParamGroupB(*ctx);
    EXPECT_EQ(State(kC0), -1);

    // clang-format off
    const struct { void (*clear)(ParamStore&); uint32_t member, outsider; } cases[] = {
        {ClearParamGroupA, 0x7F010006, 0x7F010005}, {ClearParamGroupA, 0x7F01010C, 0x7F010001},
        {ClearParamGroupB, 0x7F010203, 0x7F010002}, {ClearParamGroupD, 0x7F01B509, 0x7F01B50A},
        {ClearParamGroupD, 0x7F019402, 0x7F019401}, {ClearParamGroupD, 0x7F018009, 0x7F018007},
    };
    // clang-format on
    for (const auto& c : cases) {
        ctx = std::make_unique<ParamStore>();
        ctx->lastValue018309 = 1;
        ResetParamLists(*ctx);
        const uint16_t in = GetParamOffset(c.member), out = GetParamOffset(c.outsider);
        uint16_t n = 0;
        SetParam(*ctx, in, c.member, 1, n);
        SetParam(*ctx, out, c.outsider, 1, n);
        c.clear(*ctx);
        EXPECT_EQ(ctx->item.ParamAt(in).state, -1) << std::hex << c.member;
        EXPECT_EQ(ctx->item.ParamAt(out).state, 1) << std::hex << c.outsider;
    }
    ctx->channelState = 3;
    ctx->modeC103 = 4;
    ResetParamLists(*ctx);
    {
        ParamRun run(*ctx);
        run.PublishMode(2);
        run.PublishMode(7);  // publishes nothing
    }
    EXPECT_EQ(Current(), (std::vector<uint16_t>{5872, 5888}));
    EXPECT_EQ(std::pair(ctx->item.ParamAt(5872).value, ctx->item.ParamAt(5888).value),
              std::pair(3, 4));
}

// Offsets of IDs; 0xFFFF: no slot, and the function's message printed.
void ExpectOffsets(uint16_t (*fn)(uint32_t), const char* message,
                   std::initializer_list<std::pair<uint32_t, uint16_t>> cases) {
    for (const auto& [id, offset] : cases) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(fn(id), offset) << std::hex << id;
        EXPECT_EQ(::testing::internal::GetCapturedStdout(), offset == 0xFFFF ? message : "") << id;
    }
}

TEST(ParamTables, OffsetsSlotsConstructedRecordsAndStructuredArea) {
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
    std::set<uint32_t> ids;
    for (int slot = 0; slot < kParamCount; ++slot) {
        EXPECT_TRUE(ids.insert(ParamIdOfSlot(slot)).second) << slot;
        EXPECT_EQ(ParamSlotOf(ParamIdOfSlot(slot)), slot);
    }
    DecodeParam table[kParamCount];
    ConstructParamTable(table);
    // clang-format off
    const struct { int slot; uint32_t id; int32_t scale; } cases[] = {{0, 0x7F010001, 1000},
        {4, 0x7F010005, 100}, {6, 0x7F010007, 1}, {11, 0x7F01000C, 1000}, {41, 0x7F010204, 100},
        {93, 0x7F010191, 1}, {209, 0x7F01850F, 1000}, {208, 0x7F01850E, 1}, {332, 0x7F01B205, 1},
        {280, 0x7F01A205, 100}, {369, 0x7F1C0001, 1}, {383, 0x7F1C8001, 1}};
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(std::pair(table[c.slot].id, table[c.slot].scale), std::pair(c.id, c.scale))
            << c.slot;
    for (const DecodeParam& p : table)
        EXPECT_EQ(std::pair(p.state, p.value), std::pair(-1, 0)) << p.id;
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
        EXPECT_EQ(rec.Id(), 0x7F0107D0u + static_cast<uint32_t>(i));
        EXPECT_EQ(std::tuple(rec.State(), rec.Length(), rec.Data()), std::tuple(-1, 0u, 0u)) << i;
    }
    // The header of 0x7F0107D1 starts at byte 35 of the area: its ID bytes sit at 39..42.
    EXPECT_EQ(item->structArea[39], 0xD1);
    EXPECT_EQ(item->structArea[34558 + 4], 0xFC);
    EXPECT_EQ(item->direction, 2);
}

}  // namespace
}  // namespace tessavo

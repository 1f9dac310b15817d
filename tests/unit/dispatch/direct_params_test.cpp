// The compact-form decoder: tagged entries restore the header and publish parameters by ID.
#include "dispatch/direct_params.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

struct Scalar {
    uint32_t id;
    int32_t value;
    bool operator==(const Scalar&) const = default;
};

Bytes U16Bytes(uint16_t v) {
    Bytes b;
    PutU16(b, v);
    return b;
}

Bytes U32Bytes(uint32_t v) {
    Bytes b;
    PutU32(b, v);
    return b;
}

// A tagged entry: tag, size word, then the value bytes as given.
Bytes Entry(uint32_t tag, uint32_t size, const Bytes& value) {
    Bytes b;
    PutU32(b, tag);
    PutU32(b, size);
    b.insert(b.end(), value.begin(), value.end());
    return b;
}

Bytes TimeEntry(uint32_t size = 8) {
    return Entry(kTagItemTime, size, Bytes(8, 0x11));
}
Bytes DirectionEntry(uint16_t d) {
    return Entry(kTagDirection, 2, U16Bytes(d));
}
Bytes MsgCodeEntry(uint32_t code) {
    return Entry(kTagMsgCode, 4, U32Bytes(code));
}
Bytes SectionSizeEntry(uint32_t p) {
    return Entry(kTagSectionSize, 4, U32Bytes(p));
}

// The entries re-encoding writes before the parameter section.
Bytes Header(uint16_t direction, uint32_t msgCode, uint32_t sectionBytes) {
    return Concat({Entry(kTagVersion, 4, U32Bytes(1)), TimeEntry(), DirectionEntry(direction),
                   MsgCodeEntry(msgCode), SectionSizeEntry(sectionBytes)});
}

Bytes ScalarEntry(uint32_t id, uint32_t value) {
    Bytes b;
    PutU32(b, id);
    PutU32(b, 4);
    PutU32(b, value);
    return b;
}

Bytes StructEntry(uint32_t id, const Bytes& blob, uint32_t size) {
    Bytes b;
    PutU32(b, id);
    PutU32(b, size);
    b.insert(b.end(), blob.begin(), blob.end());
    return b;
}

Bytes Section(uint32_t count, const Bytes& entries) {
    return Concat({Entry(kTagParams, 4, U32Bytes(count)), entries});
}

std::unique_ptr<DecoderContext> NewContext() {
    auto ctx = std::make_unique<DecoderContext>();
    ctx->moduleType = 0xB101;
    return ctx;
}

// Runs the decoder on a log packet 0xFFFE carrying `entries`, as the dispatcher does.
uint32_t Decode(DecoderContext& ctx, const Bytes& entries) {
    const Bytes packet = Dispatched(LogPacket(kDirectParamsLogCode, entries));
    ResetParamLists(ctx);
    return DecodeDirectParams(ctx, PacketView(packet.data(), static_cast<int32_t>(packet.size())));
}

std::vector<Scalar> Current(const DecoderContext& ctx) {
    std::vector<Scalar> out;
    for (int i = 0; i < ctx.item.curParamCount; ++i) {
        const DecodeParam& p = ctx.item.ParamAt(ctx.item.curParamList[i]);
        EXPECT_EQ(p.state, TESSAVO_STATE_FRESH);
        out.push_back({p.id, p.value});
    }
    return out;
}

Bytes StructPayload(DecoderContext& ctx, uint16_t offset) {
    StructRecordView rec = ctx.item.StructAt(offset);
    return Bytes(rec.Payload(), rec.Payload() + rec.Length());
}

TEST(DirectParams, RestoresHeaderAndPublishesScalars) {
    auto ctx = NewContext();
    ctx->item.time = ItemTime{5, 6};
    const Bytes entries = Concat(
        {Header(1, 0xB1011020, 36),
         Section(2, Concat({ScalarEntry(0x7F010014, 7), ScalarEntry(0x7F018328, 0xFFFFFFFB)}))});
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(ctx->item.msgCode, 0xB1011020u);
    EXPECT_EQ(ctx->item.direction, 1);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 7}, {0x7F018328, -5}}));
    // Slot 19 and slot 179: offsets 304 and 2864, remembered as touched.
    EXPECT_EQ(ctx->item.curParamList[0], 304);
    EXPECT_EQ(ctx->item.curParamList[1], 2864);
    EXPECT_EQ(ctx->touchedParamCount, 2);
    EXPECT_EQ(ctx->item.ParamAt(304).scale, 1);
    // The time entry is read and not used.
    EXPECT_EQ(ctx->item.time.seconds, 5);
    EXPECT_EQ(ctx->item.time.microseconds, 6);
}

TEST(DirectParams, SectionSizeZeroEndsWithoutParameters) {
    auto ctx = NewContext();
    const Bytes entries =
        Concat({Header(0, 0xB1011020, 0), Section(1, ScalarEntry(0x7F010014, 7))});
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(ctx->item.msgCode, 0xB1011020u);
    EXPECT_EQ(ctx->item.direction, 0);
    EXPECT_TRUE(Current(*ctx).empty());
}

TEST(DirectParams, TimeEntryOfWrongSizeRefusesAfterEarlierEntries) {
    for (uint32_t size : {0u, 4u, 9u, 0xFFFFFFFFu}) {
        auto ctx = NewContext();
        const Bytes entries =
            Concat({MsgCodeEntry(0xB1010042), TimeEntry(size), DirectionEntry(1)});
        EXPECT_EQ(Decode(*ctx, entries), 0u) << size;
        EXPECT_EQ(ctx->item.msgCode, 0xB1010042u) << size;
        EXPECT_EQ(ctx->item.direction, 2) << size;  // the entry after it is not read
    }
}

TEST(DirectParams, UnknownScalarIdsAreConsumedAndSkipped) {
    auto ctx = NewContext();
    const Bytes entries =
        Section(3, Concat({ScalarEntry(0x7F01001B, 99),  // after range 1
                           ScalarEntry(0x7F1C0002, 5), ScalarEntry(0x7F010001, 1234)}));
    testing::internal::CaptureStdout();
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010001, 1234}}));
    const std::string message = "Function 'GetParamOffset' calculate the offset error\n";
    EXPECT_EQ(printed, message + message);
}

TEST(DirectParams, UnknownTagIsSkippedWithItsBytes) {
    auto ctx = NewContext();
    const Bytes entries = Concat({Entry(0xFF0F0007, 3, {0xFF, 0x0F, 0x00}), DirectionEntry(0)});
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(ctx->item.direction, 0);
}

TEST(DirectParams, TagsAfterTheSectionAreStillRead) {
    auto ctx = NewContext();
    const Bytes entries =
        Concat({Section(1, ScalarEntry(0x7F010014, 1)), MsgCodeEntry(0xB1019999)});
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 1}}));
    EXPECT_EQ(ctx->item.msgCode, 0xB1019999u);
}

TEST(DirectParams, StructuredEntryIsCopiedWithItsLength) {
    auto ctx = NewContext();
    Bytes blob;
    for (uint8_t i = 1; i <= 20; ++i) blob.push_back(i);
    EXPECT_EQ(Decode(*ctx, Section(1, StructEntry(0x7F0107E2, blob, 20))), 1u);
    ASSERT_EQ(ctx->item.curStructCount, 1);
    EXPECT_EQ(ctx->item.curStructList[0], 12085);
    StructRecordView rec = ctx->item.StructAt(12085);
    EXPECT_EQ(rec.State(), TESSAVO_STATE_FRESH);
    EXPECT_EQ(rec.Id(), 0x7F0107E2u);
    EXPECT_EQ(StructPayload(*ctx, 12085), blob);
    EXPECT_TRUE(Current(*ctx).empty());
}

TEST(DirectParams, StructuredEntryIsCutAtTheRecordCapacity) {
    // 0x7F0107D1 sits at offset 35 with 5 payload bytes; the header of 0x7F0107D2 follows at 56.
    auto ctx = NewContext();
    const Bytes entries = Section(2, Concat({StructEntry(0x7F0107D1, {1, 2, 3, 4, 5, 6, 7, 8}, 8),
                                             ScalarEntry(0x7F010014, 3)}));
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(StructPayload(*ctx, 35), (Bytes{1, 2, 3, 4, 5}));
    StructRecordView next = ctx->item.StructAt(56);
    EXPECT_EQ(next.State(), TESSAVO_STATE_CLEARED);
    EXPECT_EQ(next.Id(), 0x7F0107D2u);
    EXPECT_EQ(next.Length(), 0u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 3}}));
}

TEST(DirectParams, HugeSizesExhaustTheReader) {
    {
        // An unknown tag of size 0xFFFFFFFF: the skip runs past the end, nothing after it.
        auto ctx = NewContext();
        const Bytes entries = Concat({Entry(0xFF0F0009, 0xFFFFFFFF, {}), DirectionEntry(0)});
        EXPECT_EQ(Decode(*ctx, entries), 1u);
        EXPECT_EQ(ctx->item.direction, 2);
    }
    {
        // A structured entry claiming 0xFFFFFFF0 bytes: its capacity is copied, the rest of the
        // packet is skipped with it, so the scalar entry behind it is never read.
        auto ctx = NewContext();
        const Bytes entries =
            Section(2, Concat({StructEntry(0x7F0107D1, {9, 8, 7, 6, 5}, 0xFFFFFFF0),
                               ScalarEntry(0x7F010014, 3)}));
        EXPECT_EQ(Decode(*ctx, entries), 1u);
        ASSERT_EQ(ctx->item.curStructCount, 1);
        EXPECT_EQ(StructPayload(*ctx, 35), (Bytes{9, 8, 7, 6, 5}));
        EXPECT_TRUE(Current(*ctx).empty());
    }
    {
        // A count of 0xFFFFFFFF entries ends with the packet.
        auto ctx = NewContext();
        EXPECT_EQ(Decode(*ctx, Section(0xFFFFFFFF, ScalarEntry(0x7F010014, 4))), 1u);
        EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 4}}));
    }
}

TEST(DirectParams, EntryCutByThePacketEndIsNotPublished) {
    auto ctx = NewContext();
    Bytes partial = ScalarEntry(0x7F010002, 77);
    partial.resize(10);  // ID, size and half of the value
    const Bytes entries = Section(3, Concat({ScalarEntry(0x7F010001, 1), partial}));
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010001, 1}}));
}

TEST(DirectParams, CurrentListsStopAtTheirCapacity) {
    auto ctx = NewContext();
    // 46 structured entries (capacity 45), then one scalar: the 46th is consumed, not listed.
    Bytes structs;
    for (int i = 0; i < 46; ++i) {
        structs = Concat({structs, StructEntry(0x7F0107D3, {static_cast<uint8_t>(i), 0, 0, 0}, 4)});
    }
    EXPECT_EQ(Decode(*ctx, Section(47, Concat({structs, ScalarEntry(0x7F010014, 2)}))), 1u);
    EXPECT_EQ(ctx->item.curStructCount, 45);
    EXPECT_EQ(StructPayload(*ctx, 96), (Bytes{44, 0, 0, 0}));
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 2}}));

    // 385 scalar entries (capacity 384): the last is consumed, not written.
    Bytes scalars;
    for (uint32_t i = 0; i < 385; ++i) scalars = Concat({scalars, ScalarEntry(0x7F010001, i)});
    EXPECT_EQ(Decode(*ctx, Section(385, scalars)), 1u);
    EXPECT_EQ(ctx->item.curParamCount, 384);
    EXPECT_EQ(ctx->item.ParamAt(0).value, 383);
}

TEST(DirectParams, FirstSectionUnderMessageCode127EPublishesNothing) {
    auto ctx = NewContext();
    const Bytes entries =
        Concat({MsgCodeEntry(kOneShotMsgCode), Section(1, ScalarEntry(0x7F010014, 1))});
    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(ctx->item.msgCode, kOneShotMsgCode);
    EXPECT_TRUE(Current(*ctx).empty());
    EXPECT_EQ(ctx->directParamSwitch127E, 1);

    EXPECT_EQ(Decode(*ctx, entries), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 1}}));
}

TEST(DirectParams, OneShotRuleAppliesToTheDispatcherCodeAndOnlyAtASection) {
    auto ctx = NewContext();
    ctx->item.msgCode = kOneShotMsgCode;
    // No section: the switch stays off.
    EXPECT_EQ(Decode(*ctx, Header(2, kOneShotMsgCode, 0)), 1u);
    EXPECT_EQ(ctx->directParamSwitch127E, 0);
    // Another code: published, switch still off.
    EXPECT_EQ(
        Decode(*ctx, Concat({MsgCodeEntry(0x127E0001), Section(1, ScalarEntry(0x7F010014, 1))})),
        1u);
    EXPECT_EQ(Current(*ctx).size(), 1u);
    EXPECT_EQ(ctx->directParamSwitch127E, 0);
    // The code the dispatcher set counts as well.
    ctx->item.msgCode = kOneShotMsgCode;
    EXPECT_EQ(Decode(*ctx, Section(1, ScalarEntry(0x7F010014, 1))), 1u);
    EXPECT_TRUE(Current(*ctx).empty());
    EXPECT_EQ(ctx->directParamSwitch127E, 1);
}

TEST(DirectParams, NullOrShortPackets) {
    auto ctx = NewContext();
    EXPECT_EQ(DecodeDirectParams(*ctx, PacketView()), 0u);
    const Bytes shortPacket = {0x10, 0x00, 0x0C, 0x00, 0x0C, 0x00, 0xFE, 0xFF, 0, 0};
    EXPECT_EQ(DecodeDirectParams(*ctx, PacketView(shortPacket.data(), 10)), 1u);
    EXPECT_EQ(Decode(*ctx, {}), 1u);
    EXPECT_TRUE(Current(*ctx).empty());
}

}  // namespace
}  // namespace tessavo::test

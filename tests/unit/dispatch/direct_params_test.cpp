// The compact-form decoder: tagged entries restore the header and publish parameters by ID.
#include "dispatch/direct_params.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

constexpr uint32_t kPresetCode = 0xB101FFFE;  // as the dispatcher sets it for log code 0xFFFE

struct Scalar {
    uint32_t id;
    int32_t value;
    bool operator==(const Scalar&) const = default;
};

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}
// A tagged entry: tag, size word, then the value bytes as given.
Bytes Entry(uint32_t tag, uint32_t size, const Bytes& value) {
    return Concat({Words({tag, size}), value});
}
// clang-format off
Bytes ScalarEntry(uint32_t id, uint32_t value) { return Words({id, 4, value}); }
Bytes MsgCodeEntry(uint32_t code) { return Words({kTagMsgCode, 4, code}); }
Bytes DirectionEntry(uint8_t d) { return Entry(kTagDirection, 2, {d, 0}); }
Bytes TimeEntry(uint32_t size) { return Entry(kTagItemTime, size, Bytes(8, 0x11)); }
Bytes Section(uint32_t n, const Bytes& entries) { return Concat({Words({kTagParams, 4, n}), entries}); }
// clang-format on
// The entries re-encoding writes before the parameter section.
Bytes Header(uint8_t direction, uint32_t msgCode, uint32_t sectionBytes) {
    return Concat({Words({kTagVersion, 4, 1}), TimeEntry(8), DirectionEntry(direction),
                   MsgCodeEntry(msgCode), Words({kTagSectionSize, 4, sectionBytes})});
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

TEST(DirectParams, Entries) {
    struct Case {
        Bytes entries;
        uint32_t result, msgCode;
        uint16_t direction;
        std::vector<Scalar> scalars = {};
        int offsetErrors = 0;  // messages printed for unknown scalar IDs
    };
    const uint32_t k42 = 0xB1010042;
    // A time entry of any size but 8 refuses; the entry after it is not read.
    const auto badTime = [&](uint32_t size) {
        return Concat({MsgCodeEntry(k42), TimeEntry(size), DirectionEntry(1)});
    };
    const Bytes two = Concat({ScalarEntry(0x7F010014, 7), ScalarEntry(0x7F018328, -5u)});
    const std::vector<Scalar> twoOut = {{0x7F010014, 7}, {0x7F018328, -5}};
    // Two unknown IDs (the first just after range 1) consumed and skipped around a known one.
    const Bytes unknownIds = Concat(
        {ScalarEntry(0x7F01001B, 99), ScalarEntry(0x7F1C0002, 5), ScalarEntry(0x7F010001, 1234)});
    Bytes cut = Concat({ScalarEntry(0x7F010001, 1), ScalarEntry(0x7F010002, 77)});
    cut.resize(22);  // the second entry's ID, size and half of its value
    // clang-format off
    const Case cases[] = {
        // Tags after the section are still read.
        {Concat({Header(1, 0xB1011020, 36), Section(2, two), MsgCodeEntry(0xB1019999)}), 1, 0xB1019999, 1,
         twoOut},
        {Concat({Header(0, 0xB1011020, 0), Section(2, two)}), 1, 0xB1011020, 0, {}},  // P = 0: no parameters
        {badTime(0), 0, k42, 2, {}}, {badTime(4), 0, k42, 2, {}}, {badTime(9), 0, k42, 2, {}},
        {badTime(0xFFFFFFFF), 0, k42, 2, {}},
        {Section(3, unknownIds), 1, kPresetCode, 2, {{0x7F010001, 1234}}, 2},
        // Unknown tags are skipped with their bytes; one of size 0xFFFFFFFF ends the walk.
        {Concat({Entry(0xFF0F0007, 3, {0xFF, 0x0F, 0x00}), DirectionEntry(0)}), 1, kPresetCode, 0},
        {Concat({Entry(0xFF0F0009, 0xFFFFFFFF, {}), DirectionEntry(0)}), 1, kPresetCode, 2},
        // A count beyond the packet, an entry cut by the packet end, no entries.
        {Section(0xFFFFFFFF, ScalarEntry(0x7F010014, 4)), 1, kPresetCode, 2, {{0x7F010014, 4}}},
        {Section(3, cut), 1, kPresetCode, 2, {{0x7F010001, 1}}},
        {{}, 1, kPresetCode, 2, {}},
    };
    // clang-format on
    const std::string message = "Function 'GetParamOffset' calculate the offset error\n";
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        auto ctx = NewContext();
        ctx->item.msgCode = kPresetCode;
        ctx->item.direction = 2;
        ctx->item.time = ItemTime{5, 6};  // the time entry is read and not used
        testing::internal::CaptureStdout();
        EXPECT_EQ(Decode(*ctx, c.entries), c.result);
        std::string expectedOut;  // a message for each unknown scalar ID
        for (int k = 0; k < c.offsetErrors; ++k) expectedOut += message;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedOut);
        EXPECT_EQ(ctx->item.msgCode, c.msgCode);
        EXPECT_EQ(ctx->item.direction, c.direction);
        EXPECT_EQ(Current(*ctx), c.scalars);
        EXPECT_EQ(std::pair(ctx->item.time.seconds, ctx->item.time.microseconds), std::pair(5, 6));
    }
}

TEST(DirectParams, EntriesAndListsAreCutToTheirCapacity) {
    auto ctx = NewContext();
    Bytes blob;
    for (uint8_t i = 1; i <= 20; ++i) blob.push_back(i);
    // 0x7F0107E2 (offset 12085) holds 20 bytes; 0x7F0107D1 (offset 35) holds 5, and the header
    // of 0x7F0107D2 follows at 56.
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(
        Decode(*ctx, Section(3, Concat({Entry(0x7F0107E2, 20, blob), Entry(0x7F0107D1, 8, eight),
                                        ScalarEntry(0x7F010014, 3)}))),
        1u);
    EXPECT_EQ(ctx->item.curStructCount, 2);
    EXPECT_EQ(ctx->item.StructAt(12085).State(), TESSAVO_STATE_FRESH);
    EXPECT_EQ(ctx->item.StructAt(12085).Id(), 0x7F0107E2u);
    EXPECT_EQ(StructPayload(*ctx, 12085), blob);
    EXPECT_EQ(StructPayload(*ctx, 35), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(ctx->item.StructAt(56).State(), TESSAVO_STATE_CLEARED);
    EXPECT_EQ(ctx->item.StructAt(56).Id(), 0x7F0107D2u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 3}}));
    // A claimed 0xFFFFFFF0 bytes: the capacity is copied and the rest of the packet skipped.
    const Bytes huge = Entry(0x7F0107D1, 0xFFFFFFF0, {9, 8, 7, 6, 5});
    EXPECT_EQ(Decode(*ctx, Section(2, Concat({huge, ScalarEntry(0x7F010014, 3)}))), 1u);
    EXPECT_EQ(StructPayload(*ctx, 35), (Bytes{9, 8, 7, 6, 5}));
    EXPECT_TRUE(Current(*ctx).empty());

    // 46 structured entries (capacity 45), then one scalar: the 46th is consumed, not listed.
    Bytes structs;
    for (uint8_t i = 0; i < 46; ++i)
        structs = Concat({structs, Entry(0x7F0107D3, 4, {i, 0, 0, 0})});
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

    // No packet fails; a packet shorter than its header holds no entries.
    EXPECT_EQ(DecodeDirectParams(*ctx, PacketView()), 0u);
    const Bytes shortPacket = {0x10, 0x00, 0x0C, 0x00, 0x0C, 0x00, 0xFE, 0xFF, 0, 0};
    EXPECT_EQ(DecodeDirectParams(*ctx, PacketView(shortPacket.data(), 10)), 1u);
}

TEST(DirectParams, FirstSectionUnderMessageCode127EPublishesNothing) {
    auto ctx = NewContext();
    const Bytes section = Section(1, ScalarEntry(0x7F010014, 1));
    // No section: the switch stays off. Another code: published, switch still off.
    ctx->item.msgCode = kOneShotMsgCode;
    EXPECT_EQ(Decode(*ctx, Header(2, kOneShotMsgCode, 0)), 1u);
    EXPECT_EQ(Decode(*ctx, Concat({MsgCodeEntry(0x127E0001), section})), 1u);
    EXPECT_EQ(Current(*ctx).size(), 1u);
    // The code the dispatcher set counts as well as one from an entry.
    ctx->item.msgCode = kOneShotMsgCode;
    EXPECT_EQ(Decode(*ctx, section), 1u);
    EXPECT_TRUE(Current(*ctx).empty());
    EXPECT_EQ(Decode(*ctx, Concat({MsgCodeEntry(kOneShotMsgCode), section})), 1u);
    EXPECT_EQ(Current(*ctx), (std::vector<Scalar>{{0x7F010014, 1}}));

    auto other = NewContext();
    EXPECT_EQ(Decode(*other, Concat({MsgCodeEntry(kOneShotMsgCode), section})), 1u);
    EXPECT_TRUE(Current(*other).empty());
}

}  // namespace
}  // namespace tessavo::test

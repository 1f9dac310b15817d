// Re-encoding of an accepted item: pass-through of the received frame or the compact form.
#include "dispatch/reencode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "params/param_lists.h"
#include "support/packet_builder.h"

namespace tessavo::test {
namespace {

// An independent escaper for expected values: 0x7D and 0x7E become 0x7D, byte ^ 0x20; then
// the terminator.
Bytes EscapeForTest(const Bytes& in) {
    Bytes out;
    for (uint8_t b : in) {
        const bool escaped = b == 0x7D || b == 0x7E;
        if (escaped) out.push_back(0x7D);
        out.push_back(escaped ? static_cast<uint8_t>(b ^ 0x20) : b);
    }
    out.push_back(0x7E);
    return out;
}

Bytes BlockBytes(const Block& block) {
    return Bytes(block.bytes, block.bytes + block.length);
}

// The context as the dispatcher leaves it when it re-encodes: the unescaped packet still held.
std::unique_ptr<DecoderContext> Holding(const Bytes& dispatched) {
    auto ctx = std::make_unique<DecoderContext>();
    ctx->moduleType = 0xB101;
    ResetParamLists(*ctx);
    std::copy(dispatched.begin(), dispatched.end(), ctx->packet.begin());
    ctx->packetLength = static_cast<int32_t>(dispatched.size());
    return ctx;
}

TEST(ReencodeIdentity, TakesTheHalfThatHoldsTheIdentity) {
    // Module type << 16 + code: negative, the low half. Log code in the upper half: positive,
    // the high half. The three fixed command codes give their high half; a neighbour of one
    // follows the sign rule.
    const std::pair<uint32_t, uint16_t> cases[] = {
        {0xB1011020, 0x1020}, {0xB101DD4B, 0xDD4B}, {0x10070700, 0x1007},
        {0x7FFFFFFF, 0x7FFF}, {0x80001234, 0x1234}, {0xDD4B0000, 0xDD4B},
        {0xDD3F0000, 0xDD3F}, {0xEEAA0001, 0xEEAA}, {0xDD4B0001, 0x0001}};
    for (const auto& [code, identity] : cases) {
        EXPECT_EQ(ReencodeIdentity(code), identity) << std::hex << code;
    }
    int count = 0;
    for (uint32_t j = 0; j <= 0xFFFF; ++j) count += IsPassThroughIdentity(static_cast<uint16_t>(j));
    EXPECT_EQ(count, 57);
    for (uint16_t j : {0x1004, 0x1007, 0x1145, 0x1FFB, 0x3079, 0xDD3F, 0xEEAA}) {
        EXPECT_TRUE(IsPassThroughIdentity(j)) << std::hex << j;
    }
    for (uint16_t j : {0x1000, 0x1062, 0x1146, 0xFFFE}) {
        EXPECT_FALSE(IsPassThroughIdentity(j)) << std::hex << j;
    }
}

// The pass-through of an ordinary frame is checked through the exports (round-trip tests).
TEST(Reencode, PassThroughKeepsTheReceivedFrameUpToTheBlockCapacity) {
    auto ctx = Holding(Dispatched(LogPacket(0x1007, {0x7E, 0x07, 0x7D}, 800)));
    ctx->item.msgCode = 0x10070700;
    Bytes big(6000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
    Reencode(*ctx, big.data(), static_cast<uint32_t>(big.size()));
    EXPECT_EQ(BlockBytes(ctx->item.zelSimple), Bytes(big.begin(), big.begin() + 5120));
}

// Expected header of the compact form, written out field by field.
Bytes CompactHeader(uint16_t n, const Bytes& dispatched, const ItemTime& t, uint16_t direction,
                    uint32_t msgCode, uint32_t sectionBytes) {
    Bytes b{0x10, 0x00};
    PutU16(b, n);
    PutU16(b, n);
    PutU16(b, 0xFFFE);
    // The stamp bytes at packet offset 8; a packet too short to hold them gives zeros.
    for (size_t i = 8; i < 16; ++i) b.push_back(i < dispatched.size() ? dispatched[i] : 0);
    for (uint32_t w : {0xFF0F0000u, 4u, 1u}) PutU32(b, w);
    for (uint32_t w : {0xFF0F0001u, 8u}) PutU32(b, w);
    PutU32(b, static_cast<uint32_t>(t.seconds));
    PutU32(b, static_cast<uint32_t>(t.microseconds));
    for (uint32_t w : {0xFF0F0002u, 2u}) PutU32(b, w);
    PutU16(b, direction);
    for (uint32_t w : {0xFF0F0003u, 4u, msgCode}) PutU32(b, w);
    for (uint32_t w : {0xFF0F0004u, 4u, sectionBytes}) PutU32(b, w);
    return b;
}

Bytes CheckBytes(const Bytes& dispatched) {
    return Bytes(dispatched.end() - 3, dispatched.end() - 1);
}

TEST(Reencode, CompactFormCarriesTheFreshScalarsOnly) {
    // Stamp ticks 0x7E put a 0x7E at packet offset 10, so the escaped form is one byte longer
    // before byte 16 than the unescaped one.
    const Bytes dispatched = Dispatched(LogPacket(0x1020, {0xAA, 0xBB}, 0x7E));
    auto ctx = Holding(dispatched);
    ctx->item.msgCode = 0xB1011020;
    ctx->item.time = ItemTime{315964801, 250000};
    {
        ParamRun run(*ctx);
        run.Set(Param(0x7F010001), 1500);
        run.Set(Param(0x7F018328), 9);
        run.Set(Param(0x7F010014), 1);
    }
    ctx->item.ParamAt(Param(0x7F018328).offset).state = TESSAVO_STATE_CLEARED;
    ASSERT_EQ(ctx->item.curParamCount, 3);

    // Three current, two of them Fresh: K = 2, P = 12 + 24 = 36, N = 80 + 36 = 116.
    Bytes expected = CompactHeader(116, dispatched, ctx->item.time, 2, 0xB1011020, 36);
    for (uint32_t w : {0xFF0F0010u, 4u, 2u, 0x7F010001u, 4u, 1500u, 0x7F010014u, 4u, 1u}) {
        PutU32(expected, w);
    }
    expected = Concat({expected, CheckBytes(dispatched)});
    ASSERT_EQ(expected.size(), 116u);

    std::vector<uint8_t> form(kCompactMaxLength);
    EXPECT_EQ(BuildCompactForm(*ctx, form.data()), 116u);
    EXPECT_EQ(Bytes(form.begin(), form.begin() + 116), expected);

    const Bytes frame = Frame(LogPacket(0x1020, {0xAA, 0xBB}, 0x7E));
    Reencode(*ctx, frame.data(), static_cast<uint32_t>(frame.size()));
    const Bytes escaped = EscapeForTest(expected);
    EXPECT_EQ(BlockBytes(ctx->item.zelSimple), escaped);

    // Payload: four 0xFF bytes, then the escaped form from its byte 16, length N' - 15.
    const Bytes payload = BlockBytes(ctx->item.payload);
    ASSERT_EQ(payload.size(), escaped.size() - 15);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(payload.begin() + 4, payload.end()),
              Bytes(escaped.begin() + 16, escaped.begin() + 16 + (payload.size() - 4)));
}

TEST(Reencode, SectionIsAbsentOnlyWhenTheCurrentListIsEmpty) {
    const Bytes dispatched = Dispatched(CommandPacket(0x3F, {0x05}));
    struct Case {
        bool withCleared;
        uint16_t n;
        uint32_t sectionBytes;
    };
    for (const Case& c : {Case{false, 80, 0}, Case{true, 92, 12}}) {
        auto ctx = Holding(dispatched);
        ctx->item.msgCode = 0xB1011000;
        ctx->item.direction = 1;
        if (c.withCleared) {
            // A current list holding one cleared parameter: the section with K = 0.
            ParamRun run(*ctx);
            run.Set(Param(0x7F010014), 1);
            run.Finish();
            ctx->item.ParamAt(304).state = TESSAVO_STATE_CLEARED;
        }
        Bytes expected =
            CompactHeader(c.n, dispatched, ctx->item.time, 1, 0xB1011000, c.sectionBytes);
        if (c.withCleared) {
            for (uint32_t w : {0xFF0F0010u, 4u, 0u}) PutU32(expected, w);
        }
        expected = Concat({expected, CheckBytes(dispatched)});

        std::vector<uint8_t> form(kCompactMaxLength);
        EXPECT_EQ(BuildCompactForm(*ctx, form.data()), c.n);
        EXPECT_EQ(Bytes(form.begin(), form.begin() + c.n), expected);
    }
}

TEST(Reencode, EscapedFormLongerThanTheBlockIsCutAndStaysTerminated) {
    const Bytes dispatched = Dispatched(LogPacket(0x1020, {}, 1));
    auto ctx = Holding(dispatched);
    ctx->item.msgCode = 0xB1011020;
    // Every slot Fresh with a value whose four bytes all need escaping.
    uint16_t runCount = 0;
    for (int slot = 0; slot < kParamCount; ++slot) {
        const auto offset = static_cast<uint16_t>(slot * kParamRecordSize);
        SetParam(*ctx, offset, ParamIdOfSlot(slot), 0x7E7E7E7E, runCount);
    }
    ctx->item.curParamCount = runCount;
    ASSERT_EQ(runCount, kParamCount);
    std::vector<uint8_t> form(kCompactMaxLength);
    const size_t n = BuildCompactForm(*ctx, form.data());
    ASSERT_EQ(n, kCompactMaxLength);  // 80 + 12 + 384 * 12 = 4700
    const Bytes escaped = EscapeForTest(Bytes(form.begin(), form.begin() + n));
    ASSERT_GT(escaped.size(), 4700u + 384u * 4u);

    Reencode(*ctx, nullptr, 0);
    const Bytes zel = BlockBytes(ctx->item.zelSimple);
    ASSERT_EQ(zel.size(), 5120u);
    EXPECT_EQ(Bytes(zel.begin(), zel.end() - 1), Bytes(escaped.begin(), escaped.begin() + 5119));
    EXPECT_EQ(zel.back(), 0x7E);
    const Bytes payload = BlockBytes(ctx->item.payload);
    ASSERT_EQ(payload.size(), 5105u);
    EXPECT_EQ(Bytes(payload.begin() + 4, payload.end()),
              Bytes(zel.begin() + 16, zel.begin() + 16 + 5101));
}

}  // namespace
}  // namespace tessavo::test

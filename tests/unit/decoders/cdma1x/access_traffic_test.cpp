#include "decoders/cdma1x/access_traffic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "support/bit_writer.h"
#include "unit/decoders/decoder_test_util.h"

namespace tessavo::test {
namespace {

struct AccessHeader {
    int lacLength = 8;      // octets; with 4 address octets, 7 bits of layer-2 header remain
    int addressLength = 4;  // octets
    int authMode = 0;
    int pilots = 2;
};

// An access channel message: the header, then `body`.
Bytes AccessMessage(uint8_t type, const AccessHeader& h,
                    const std::function<void(BitWriter&)>& body) {
    BitWriter w;
    w.Msb(40, 8).Msb(0, 2).Msb(type, 6).Msb(static_cast<uint64_t>(h.lacLength), 5);
    w.Msb(1, 3).Msb(2, 3).Msb(1, 1).Msb(0, 1).Msb(3, 3).Msb(2, 3);
    w.Msb(static_cast<uint64_t>(h.addressLength), 4);
    for (int i = 0; i < h.addressLength; ++i) w.Msb(0xAB, 8);
    w.Msb(static_cast<uint64_t>(h.authMode), 2);
    if (h.authMode == 1) w.Msb(0x3FFFF, 18).Msb(0xFF, 8).Msb(0x3F, 6);
    const int rest = 8 * h.lacLength - 25 - 8 * h.addressLength - (h.authMode == 1 ? 32 : 0);
    for (int i = 0; i < rest; ++i) w.Msb(1, 1);
    w.Msb(5, 6).Msb(1, 1).Msb(0, 1).Msb(static_cast<uint64_t>(h.pilots), 3);
    for (int i = 0; i < h.pilots; ++i) w.Msb(0x7FFF, 15).Msb(0x3F, 6).Msb(1, 1).Msb(1, 1);
    body(w);
    w.Msb(0, 24);
    return w.Bytes();
}

void RunAccess(DecoderContext& ctx, uint32_t msgCode, const Bytes& payload) {
    RunLog(ctx, 0x1004, payload, {HandleAccessChannel}, msgCode);
}

TEST(AccessChannel, OriginationDialledNumber) {
    const AccessHeader plain;
    const AccessHeader auth = {12, 4, 1, 2};         // 96 - 25 - 32 - 32 = 7 bits remain
    const AccessHeader negativeRest = {2, 4, 0, 0};  // 16 - 25 - 32 < 0: nothing more is read
    const struct {
        const char* name;
        bool eightBit;
        std::vector<uint8_t> codes;
        int serviceOption;  // -1: SPECIAL_SERVICE 0
        AccessHeader header;
        uint32_t high, low;
    } cases[] = {
        // clang-format off
        {"with service option", false, {5, 5, 10, 1}, 33, plain, 0, 5501},
        {"authentication fields", false, {1, 2, 3}, 0x8021, auth, 0, 123},
        {"negative header rest", false, {4, 2}, -1, negativeRest, 0, 42},
        {"star first: no number", false, {11, 1, 2}, -1, plain, 0, 0},
        {"digits up to the star", false, {1, 2, 11, 3}, -1, plain, 0, 12},
        {"leading blank skipped", false, {13, 1, 2}, -1, plain, 0, 12},
        // 12345678901 = 2 * 2^32 + 3755744309
        {"above 32 bits", false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1}, -1, plain, 2, 3755744309u},
        {"saturates", false, std::vector<uint8_t>(20, 9), -1, plain, 0x7FFFFFFF, 0xFFFFFFFF},
        {"8-bit characters: no number", true, {'5', '5'}, -1, plain, 0, 0},
        {"no digits", false, {}, -1, plain, 0, 0},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto body = [&c](BitWriter& w) {
            w.Msb(0, 1).Msb(2, 3).Msb(6, 8).Msb(0xEA, 8).Msb(1, 3);  // MOB_TERM .. REQUEST_MODE
            w.Msb(c.serviceOption >= 0 ? 1 : 0, 1);
            if (c.serviceOption >= 0) w.Msb(static_cast<uint64_t>(c.serviceOption), 16);
            w.Msb(0, 1).Msb(c.eightBit ? 1 : 0, 1);  // PM, DIGIT_MODE
            if (c.eightBit) w.Msb(1, 3).Msb(1, 4);
            w.Msb(0, 1).Msb(c.codes.size(), 8);  // MORE_FIELDS, NUM_FIELDS
            for (uint8_t code : c.codes) w.Msb(code, c.eightBit ? 8 : 4);
        };
        auto ctx = NewContext();
        RunAccess(*ctx, kMsgOrigination, AccessMessage(4, c.header, body));
        // clang-format off
        ExpectCurrent(*ctx, {{0x7F01C102, 1}, {0x7F010017, 1}, {0x7F010314, static_cast<int32_t>(c.high)},
                             {0x7F010315, static_cast<int32_t>(c.low)},
                             {0x7F01031C, std::max(c.serviceOption, 0)}, {0x7F010014, 1}});
        // clang-format on
        EXPECT_EQ(ctx->channelState, 1);
    }
}

TEST(AccessChannel, PageResponseAndOtherMessages) {
    auto ctx = NewContext();
    RunAccess(*ctx, kMsgPageResponse, AccessMessage(5, {}, [](BitWriter& w) {
        w.Msb(1, 1).Msb(2, 3).Msb(6, 8).Msb(0xEA, 8).Msb(0, 3).Msb(0x1234, 16);
    }));
    ExpectCurrent(*ctx, {{0x7F01C102, 1}, {0x7F01031D, 0x1234}, {0x7F010014, 1}});
    RunAccess(*ctx, 0x10040100, AccessMessage(1, {}, [](BitWriter&) {}));
    EXPECT_EQ(CurrentIds(*ctx), (Ids{0x7F01C102, 0x7F010014}));
}

void RunReverse(DecoderContext& ctx, uint32_t msgCode, const Bytes& payload) {
    RunLog(ctx, 0x1005, payload, {HandleReverseTraffic}, msgCode);
}

PilotEntry Pilot(uint32_t pn, double ecio) {
    PilotEntry e;
    e.pn = pn;
    e.ecio = ecio;
    return e;
}

TEST(ReverseTraffic, PilotStrengthMeasurementNamesTheReferenceAmongSeveral) {
    auto ctx = NewContext();
    ctx->rxPowerX1000 = -98581.0;
    ctx->pilotTable.Update(Pilot(10, -5.0));
    ctx->pilotTable.Update(Pilot(20, -7.0));
    ctx->activePilotCount = 2;
    ctx->modeC103 = 3;
    BitWriter w;
    w.Msb(12, 8).Msb(5, 8).Msb(0x1FF, 9).Msb(20, 9).Msb(0, 30);  // header, REF_PN 20
    RunReverse(*ctx, kMsgPilotStrengthMeasurement, w.Bytes());
    const Values expected = {{0x7F01C102, 2},  {0x7F01C103, 0},     {0x7F010014, 1},
                             {0x7F01000A, 20}, {0x7F01000E, -7000}, {0x7F010011, -105581}};
    ExpectCurrent(*ctx, expected);
    EXPECT_EQ(ctx->referencePilot, 20);
}

Bytes HandoffCompletion(uint8_t length, const std::vector<uint16_t>& pns) {
    BitWriter w;
    w.Msb(length, 8).Msb(10, 8).Msb(0, 9).Msb(2, 2);
    for (uint16_t pn : pns) w.Msb(pn, 9);
    w.Msb(0, 24);
    return w.Bytes();
}

TEST(ReverseTraffic, HandoffCompletionReplacesTheActivePilots) {
    auto ctx = NewContext();
    ctx->rxPowerX1000 = -98581.0;
    ctx->lastChannel = 283;
    ctx->pilotTable.Update(Pilot(7, -5.0));
    // (8 * 9 - 43) / 9 = 3 pilots.
    RunReverse(*ctx, kMsgHandoffCompletion, HandoffCompletion(9, {100, 200, 300}));
    EXPECT_EQ(CurrentIds(*ctx), (Ids{0x7F01C102, 0x7F01C103, 0x7F010014}));
    const PilotTable& table = ctx->pilotTable;
    ASSERT_EQ(table.count, 3);
    for (int i = 0; i < 3; ++i) {
        const PilotEntry& e = table.entries[static_cast<size_t>(i)];
        EXPECT_EQ(e.pn, 100u * static_cast<uint32_t>(i + 1));
        EXPECT_EQ(e.source, 0u);
        EXPECT_EQ(e.channel, 283);
        EXPECT_DOUBLE_EQ(e.rxPower, -98.581);
        EXPECT_EQ(e.ecio, kNoValueD);
        EXPECT_EQ(e.pilotPower, kNoValueD);
    }
    // A length that leaves room for no pilot changes nothing.
    RunReverse(*ctx, kMsgHandoffCompletion, HandoffCompletion(5, {}));
    EXPECT_EQ(ctx->pilotTable.count, 3);
    // Without a known receive power the table is emptied and stays empty.
    ctx->rxPowerX1000 = kNoValueD;
    RunReverse(*ctx, kMsgHandoffCompletion, HandoffCompletion(9, {100, 200, 300}));
    EXPECT_EQ(ctx->pilotTable.count, 0);
}

TEST(ReverseTraffic, Order21Qualifier) {
    const struct {
        uint8_t order, recordLength;
        Values tail;
    } cases[] = {{21, 1, {{0x7F01031F, 0x55}}}, {21, 0, {{0x7F01031F, 0}}}, {20, 1, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int{c.order} * 100 + c.recordLength);
        BitWriter w;
        w.Msb(8, 8).Msb(1, 8).Msb(0, 9).Msb(c.order, 6).Msb(c.recordLength, 3);
        if (c.recordLength != 0) w.Msb(0x55, 8);
        auto ctx = NewContext();
        RunReverse(*ctx, kMsgReverseOrder21, w.Msb(0, 24).Bytes());
        ExpectCurrent(*ctx, c.tail, {0x7F01C102, 0x7F01C103, 0x7F010014});
    }
}

}  // namespace
}  // namespace tessavo::test

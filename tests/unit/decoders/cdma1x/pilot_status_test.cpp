#include "decoders/cdma1x/pilot_status.h"

#include <gtest/gtest.h>

#include "decoders/cdma1x/pilot_sets.h"
#include "framing/hdlc.h"
#include "unit/decoders/cdma1x/cdma1x_test_util.h"

namespace tessavo::test {
namespace {

constexpr uint32_t kStatus = 0x7F0107D4;

void RunStatus(DecoderContext& ctx, const Bytes& response) {
    ResetParamLists(ctx);
    HandlePilotSetsStatus(ctx, PacketView(response.data(), static_cast<int32_t>(response.size())),
                          0);
}

// A response with field 0x1234, the active, candidate and neighbour set sizes, then per pilot
// its PN and strength.
Bytes Response(uint8_t first, uint8_t a, uint8_t c, uint8_t n,
               const std::vector<std::pair<uint16_t, uint16_t>>& pilots) {
    Bytes b = {first, 0x34, 0x12, a, c, n};
    for (const auto& [pn, strength] : pilots) {
        PutU16(b, pn);
        PutU16(b, strength);
    }
    return b;
}

TEST(PilotSetsStatus, CapturedResponseRebuildsTheTable) {
    const Bytes wire = FromHex(kCapturedPilotSetsFrame);
    Bytes packet(kUnescapeCapacity);
    int32_t length = 0;
    Unescape(wire.data(), wire.size(), packet.data(), length);
    ASSERT_EQ(length, 217);  // 214 response bytes, CRC, 0x7E
    packet.resize(static_cast<size_t>(length));

    auto ctx = NewContext();
    RunStatus(*ctx, packet);
    // 25 neighbours (the scenario test checks the head), the last PN 51.
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 25 * 4), 51);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 26 * 4), 0);

    // Neighbours at strength 63 were not measured; PN 33 (28) and PN 21 (26) remain. No
    // receive power reported yet: no receive or pilot power.
    ASSERT_EQ(TablePns(*ctx), (Pns{240, 33, 21}));
    const std::pair<uint32_t, double> expected[] = {{0, -11.0}, {2, -14.0}, {2, -13.0}};
    for (int i = 0; i < 3; ++i) {
        const PilotEntry& e = ctx->pilotTable.entries[static_cast<size_t>(i)];
        EXPECT_EQ(e.source, expected[i].first);
        EXPECT_EQ(e.ecio, expected[i].second);
        EXPECT_EQ(e.channel, kNoValue);
        EXPECT_EQ(e.rxPower, kNoValueD);
        EXPECT_EQ(e.pilotPower, kNoValueD);
        EXPECT_EQ(e.reserved, kNoValue);
    }
}

TEST(PilotSetsStatus, SameReportedPnIsOneEntryWithKnownPowerAndChannel) {
    auto ctx = NewContext();
    ctx->rxPowerX1000 = -98581.0;
    ctx->lastChannel = 283;
    RunStatus(*ctx, Response(0x40, 1, 1, 0, {{240, 22}, {240, 30}}));
    ASSERT_EQ(ctx->pilotTable.count, 1);
    const PilotEntry& e = ctx->pilotTable.entries[0];
    EXPECT_EQ(e.source, 1u);
    EXPECT_EQ(e.ecio, -15.0);
    EXPECT_EQ(e.channel, 283);
    EXPECT_DOUBLE_EQ(e.rxPower, -98.581);
    EXPECT_DOUBLE_EQ(e.pilotPower, -113.581);
}

TEST(PilotSetsStatus, PnZeroShrinksItsSetAndSourcesFollowTheSets) {
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 2, 2, 2, {{10, 4}, {0, 9}, {20, 6}, {30, 8}, {40, 63}, {0, 5}}));
    // Sizes 1, 2, 1; PN 0 left no gap.
    EXPECT_EQ(PayloadBytes(*ctx, kStatus, 0, 5), (Bytes{0x34, 0x12, 1, 2, 1}));
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 1 * 4), 20);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 3 * 4), 40);
    ASSERT_EQ(TablePns(*ctx), (Pns{10, 20, 30}));  // PN 40 is an unmeasured neighbour
    const PilotTable& table = ctx->pilotTable;
    EXPECT_EQ(table.entries[0].ecio, -2.0);
    EXPECT_EQ(table.entries[1].source, 1u);
    EXPECT_EQ(table.entries[2].source, 1u);
    EXPECT_EQ(table.entries[2].ecio, -4.0);
}

TEST(PilotSetsStatus, AtMost64PilotsAreKeptAndOtherFirstByteGivesZeroRecord) {
    std::vector<std::pair<uint16_t, uint16_t>> pilots;
    for (uint16_t pn = 1; pn <= 70; ++pn) pilots.push_back({pn, 10});
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 70, 0, 0, pilots));
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, kStatus, 2), 70);  // the reported size stays
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 63 * 4), 64);
    EXPECT_EQ(ctx->pilotTable.count, 64);
    // A response whose first byte is not 0x40: a zero record and an empty table.
    RunStatus(*ctx, Response(0x41, 1, 0, 0, {{240, 22}}));
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{kStatus}));
    EXPECT_EQ(PayloadBytes(*ctx, kStatus, 0, 261), Bytes(261, 0));
    EXPECT_EQ(ctx->pilotTable.count, 0);
}

TEST(PilotSetsStatus, FingersOnTheActivePilotKeepTheRebuiltTable) {
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 1, 0, 2, {{240, 22}, {33, 28}, {21, 26}}));
    // A 0x119A packet (a power sub-record, then one locked finger on PN 240) keeps the
    // neighbours, and the summary counts only the active-source pilot.
    Bytes payload = {0, 2, 0,   0, 2, 0, 16, 0, 0, 0, 0x1B, 0x01, 0,   0, 0x9C, 0x92,
                     0, 0, 127, 0, 4, 0, 28, 0, 0, 0, 0,    1,    240, 0, 0xE8, 0x03};
    payload.resize(4 + 16 + 28);  // the finger entry is 20 bytes, its status at byte 16
    payload[payload.size() - 4] = 0x06;
    RunLog(*ctx, 0x119A, payload, {HandlePilotSetsParams119A});
    EXPECT_EQ(TablePns(*ctx), (Pns{240, 33, 21}));
    ExpectValues(*ctx, {{0x7F010009, 1}, {0x7F01000B, 240}});
    EXPECT_EQ(ctx->referencePilot, 240);
}

}  // namespace
}  // namespace tessavo::test

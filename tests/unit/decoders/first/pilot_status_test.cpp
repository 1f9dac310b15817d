#include "decoders/first/pilot_status.h"

#include <gtest/gtest.h>

#include <string>

#include "decoders/first/pilot_sets.h"
#include "framing/hdlc.h"
#include "unit/decoders/first/first_decoder_test_util.h"

namespace tessavo::test {
namespace {

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// A pilot sets response captured from a handset (command 0x40), as framed on the wire.
const char* const kCapturedFrame =
    "400300010019f000160021001c00d8003f0056013f0015001a0011013f0092013f0039003f0095013f001200"
    "3f0023013f0066003f000b013f00ae003f0002013f00a8003f0050013f00f8013f0057003f007d5e003f0093"
    "003f00bd003f0077013f00b7003f00ab003f0033003f00000000000000000000000000000000000000000000"
    "0000adde000000000000001313501f0000ffff00aa1900000000000000000000000000000000000000000000"
    "000000000000000000000000b1c47d5e7d5e7d5d5d04581b5b1b000000000000000000000000000000006569"
    "7e";

void RunStatus(DecoderContext& ctx, const Bytes& response) {
    ResetParamLists(ctx);
    HandlePilotSetsStatus(ctx, PacketView(response.data(), static_cast<int32_t>(response.size())),
                          0);
}

struct PilotSpec {
    uint16_t pn;
    uint16_t strength;
};

Bytes Response(uint8_t first, uint8_t a, uint8_t c, uint8_t n,
               const std::vector<PilotSpec>& pilots) {
    Bytes b = {first};
    PutU16(b, 0x1234);
    b.insert(b.end(), {a, c, n});
    for (const PilotSpec& p : pilots) {
        PutU16(b, p.pn);
        PutU16(b, p.strength);
    }
    return b;
}

TEST(PilotSetsStatus, CapturedResponseRebuildsTheTable) {
    const Bytes wire = FromHex(kCapturedFrame);
    ASSERT_EQ(wire.size(), 221u);
    Bytes packet(kUnescapeCapacity);
    int32_t length = 0;
    Unescape(wire.data(), wire.size(), packet.data(), length);
    ASSERT_EQ(length, 217);  // 214 response bytes, CRC, 0x7E
    packet.resize(static_cast<size_t>(length));

    auto ctx = NewContext();
    RunStatus(*ctx, packet);
    EXPECT_EQ(CurrentStructIds(*ctx), (std::vector<uint32_t>{0x7F0107D4}));
    EXPECT_EQ(StructOf(*ctx, 0x7F0107D4).Length(), 261u);
    // One active pilot (PN 240), no candidate, 25 neighbours.
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 0), 3);
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 2), 1);
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 3), 0);
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 4), 25);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 5), 240);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 7), 22);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 5 + 25 * 4), 51);  // the last neighbour
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 5 + 26 * 4), 0);
    EXPECT_EQ(ctx->item.curParamCount, 0);

    // Neighbours at strength 63 were not measured; PN 33 (28) and PN 21 (26) remain.
    const PilotTable& table = ctx->pilotTable;
    ASSERT_EQ(table.count, 3);
    const struct {
        uint32_t source, pn;
        double ecio;
    } expected[] = {{0, 240, -11.0}, {2, 33, -14.0}, {2, 21, -13.0}};
    for (int i = 0; i < 3; ++i) {
        const PilotEntry& e = table.entries[static_cast<size_t>(i)];
        EXPECT_EQ(e.source, expected[i].source);
        EXPECT_EQ(e.pn, expected[i].pn);
        EXPECT_EQ(e.ecio, expected[i].ecio);
        EXPECT_EQ(e.channel, kNoValue);
        // No receive power reported yet: no receive or pilot power.
        EXPECT_EQ(e.rxPower, kNoValueD);
        EXPECT_EQ(e.pilotPower, kNoValueD);
        EXPECT_EQ(e.reserved, kNoValue);
    }
}

TEST(PilotSetsStatus, KnownReceivePowerAndChannelEnterTheEntries) {
    auto ctx = NewContext();
    ctx->rxPowerX1000 = -98581.0;
    ctx->lastChannel = 283;
    RunStatus(*ctx, Response(0x40, 1, 0, 0, {{240, 22}}));
    ASSERT_EQ(ctx->pilotTable.count, 1);
    const PilotEntry& e = ctx->pilotTable.entries[0];
    EXPECT_EQ(e.channel, 283);
    EXPECT_DOUBLE_EQ(e.rxPower, -98.581);
    EXPECT_DOUBLE_EQ(e.pilotPower, -109.581);
}

TEST(PilotSetsStatus, PnZeroShrinksItsSetAndSourcesFollowTheSets) {
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 2, 2, 2, {{10, 4}, {0, 9}, {20, 6}, {30, 8}, {40, 63}, {0, 5}}));
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 0), 0x1234);
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 2), 1);
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 3), 2);
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 4), 1);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 5 + 1 * 4), 20);  // PN 0 left no gap
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 5 + 3 * 4), 40);

    const PilotTable& table = ctx->pilotTable;
    ASSERT_EQ(table.count, 3);  // PN 40 is an unmeasured neighbour
    EXPECT_EQ(table.entries[0].source, 0u);
    EXPECT_EQ(table.entries[0].ecio, -2.0);
    EXPECT_EQ(table.entries[1].source, 1u);
    EXPECT_EQ(table.entries[1].pn, 20u);
    EXPECT_EQ(table.entries[2].source, 1u);
    EXPECT_EQ(table.entries[2].ecio, -4.0);
}

TEST(PilotSetsStatus, AtMost64PilotsAreKept) {
    std::vector<PilotSpec> pilots;
    for (int i = 1; i <= 70; ++i) pilots.push_back({static_cast<uint16_t>(i), 10});
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 70, 0, 0, pilots));
    EXPECT_EQ(PayloadAt<uint8_t>(*ctx, 0x7F0107D4, 2), 70);  // the reported size stays
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, 0x7F0107D4, 5 + 63 * 4), 64);
    EXPECT_EQ(ctx->pilotTable.count, 64);
}

TEST(PilotSetsStatus, OtherFirstByteGivesZeroRecordAndEmptiesTable) {
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 1, 0, 0, {{240, 22}}));
    ASSERT_EQ(ctx->pilotTable.count, 1);
    RunStatus(*ctx, Response(0x41, 1, 0, 0, {{240, 22}}));
    EXPECT_EQ(CurrentStructIds(*ctx), (std::vector<uint32_t>{0x7F0107D4}));
    StructRecordView rec = StructOf(*ctx, 0x7F0107D4);
    for (uint32_t i = 0; i < 261; ++i) ASSERT_EQ(rec.Payload()[i], 0) << i;
    EXPECT_EQ(ctx->pilotTable.count, 0);
}

TEST(PilotSetsStatus, SameReportedPnIsOneEntry) {
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 1, 1, 0, {{240, 22}, {240, 30}}));
    ASSERT_EQ(ctx->pilotTable.count, 1);
    EXPECT_EQ(ctx->pilotTable.entries[0].source, 1u);
    EXPECT_EQ(ctx->pilotTable.entries[0].ecio, -15.0);
}

TEST(PilotSetsStatus, FingersOnTheActivePilotKeepTheRebuiltTable) {
    auto ctx = NewContext();
    RunStatus(*ctx, Response(0x40, 1, 0, 2, {{240, 22}, {33, 28}, {21, 26}}));
    // A 0x119A packet whose first finger is on the active PN 240 keeps the neighbours, and the
    // summary counts only the active-source pilot.
    Bytes power = {2, 0, 16, 0, 0, 0, 0x1B, 0x01, 0, 0, 0x9C, 0x92, 0, 0, 127, 0};
    Bytes fingers = {4, 0, 28, 0, 0, 0, 0, 1, 240, 0, 0xE8, 0x03};
    fingers.resize(28, 0);
    fingers[8 + 16] = 0x06;
    Bytes payload = {0, 2, 0, 0};
    payload.insert(payload.end(), power.begin(), power.end());
    payload.insert(payload.end(), fingers.begin(), fingers.end());
    RunLog(*ctx, 0x119A, payload, {HandlePilotSetsParams119A});
    ASSERT_EQ(ctx->pilotTable.count, 3);
    EXPECT_EQ(ValueOf(*ctx, 0x7F010009), 1);
    EXPECT_EQ(ValueOf(*ctx, 0x7F01000B), 240);
    EXPECT_EQ(ctx->referencePilot, 240);
}

}  // namespace
}  // namespace tessavo::test

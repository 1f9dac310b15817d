// The pilot-set logs 0x102D and 0x119A and the pilot sets status response (command 0x40).
#include "decoders/cdma1x/pilot_sets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "decoders/cdma1x/pilot_status.h"
#include "framing/hdlc.h"
#include "unit/decoders/cdma1x/cdma1x_test_util.h"

namespace tessavo::test {
namespace {

// 0x102D fingers are in lock with status 0x0004 (bit 2), 0x119A fingers with 0x0006 (bits 1 and
// 2). Receive AGC 150: 150 / 3 - 148.581 = -98.581 dBm; transmit 120: 120 / 3 - 52.25 = -12.25
// dBm; gain -10: +5 dB.
// clang-format off
struct Finger102D { uint16_t pnWord; uint8_t energy; uint32_t word = 0; uint16_t status = 0x0004; };
struct Power102D { uint8_t band = 0, rxAgc = 150, txAgc = 120; int8_t gain = -10; };
struct Finger119A { uint16_t pnWord, energy; uint32_t word = 0; uint16_t status = 0x0006; };
// clang-format on

// Band class at byte 1, AGC bytes at 13 to 15, one pilot entry (skipped) and the finger count at
// 21 and 22; per finger its PN word, state 0 (below 255: usable), energy, word and status.
Bytes Payload102D(const std::vector<Finger102D>& fingers, const Power102D& power = {},
                  int declaredFingers = -1) {
    const auto count = static_cast<uint8_t>(declaredFingers < 0 ? fingers.size() : declaredFingers);
    const auto gain = static_cast<uint8_t>(power.gain);
    Bytes p = Concat({{0, power.band}, Bytes(11, 0), {power.rxAgc, power.txAgc, gain}});
    p = Concat({p, Bytes(5, 0), {1, count, 0}, U32s({0xA5A5A5A5})});
    for (const Finger102D& f : fingers) {
        p = Concat({p, U32s({f.pnWord | uint32_t{f.energy} << 24, f.word}), U16s({f.status})});
    }
    return p;
}

void Run102D(DecoderContext& ctx, const Bytes& payload) {
    RunLog(ctx, 0x102D, payload, {HandlePilotSetsParams102D, HandlePilotSetsStruct102D});
}

// Channels 283 and 384; AGC -100 gives -100 * 0.334 - 63.248 = -96.648 dBm, -110 -99.988 dBm;
// gain 8 is -4 dB.
Bytes PowerSub(int8_t agc0 = -100, int8_t agc1 = -110, uint8_t flag0 = 0, uint8_t flag1 = 0,
               int8_t gain = 8) {
    const auto u8 = [](int8_t v) { return static_cast<uint8_t>(v); };
    const Bytes channels = Concat({{2, 0, 16, 0, flag0, flag1}, U16s({283, 384})});
    // Transmit power 125: tenths of dBm.
    return Concat({channels, {u8(agc0), u8(agc1)}, U16s({125}), {u8(gain), 0}});
}

Bytes FingerSub(const std::vector<Finger119A>& fingers) {
    Bytes b = {4, 0};
    PutU16(b, static_cast<uint16_t>(8 + 20 * fingers.size()));
    b.insert(b.end(), {0, 0, 0, static_cast<uint8_t>(fingers.size())});
    for (const Finger119A& f : fingers) {
        b = Concat({b, U32s({f.pnWord | uint32_t{f.energy} << 16, f.word, 0, 0, f.status})});
    }
    return b;
}

void Run119A(DecoderContext& ctx, const std::vector<Bytes>& subRecords) {
    Bytes p = {0, static_cast<uint8_t>(subRecords.size()), 0, 0};
    for (const Bytes& s : subRecords) p.insert(p.end(), s.begin(), s.end());
    RunLog(ctx, 0x119A, p, {HandlePilotSetsParams119A, HandlePilotSetsStruct119A});
}

// The finger energy to Ec/Io conversions: 10 log10(E) - 24.6 and - 48.7.
const auto Ecio255 = [](double e) { return 10.0 * std::log10(e) - 24.6; };
const auto Ecio48 = [](double e) { return 10.0 * std::log10(e) - 48.7; };

// Each test starts with a new decoder context.
class PilotSets102D : public testing::Test {
  protected:
    std::unique_ptr<DecoderContext> ctx = NewContext();
};
using PilotSets119A = PilotSets102D;
using PilotSetsStatus = PilotSets102D;

constexpr uint32_t kCopy = 0x7F0107D6;  // the pilot table copy
constexpr uint32_t kList = 0x7F0107D5;  // the locked-finger list

TEST_F(PilotSets102D, TrafficPacketThenOneWithoutFingers) {
    ctx->channelState = 2;
    // Two locked fingers on PN 100 (energies add to 128), one unlocked on PN 200 (the upper
    // bits of its PN word are not part of the PN).
    Run102D(*ctx, Payload102D({{100, 64, 0x11223344}, {100, 64}, {0x0200 | 200, 32, 0, 0}}));
    // PN 100: 10 log10(128) - 24.6 = -3.5279 dB, pilot power -98.581 - 3.5279 = -102.1089 dBm;
    // PN 200 has no energy, so no Ec/Io. Open loop: -73 + 5 + 98.581 = 30.581, clamped to 30.
    // clang-format off
    ExpectCurrent(*ctx, {{0x7F010001, -98581}, {0x7F010008, 3}, {0x7F010002, 30000}, {0x7F010003, -12250},
                         {0x7F010004, 5000}, {0x7F01000C, -3527}, {0x7F01000F, -102108}, {0x7F010009, 2},
                         {0x7F01000D, -3527}, {0x7F010010, -102108}, {0x7F01000B, 100}});
    // clang-format on
    EXPECT_EQ(TablePns(*ctx), (Pns{100, 200}));
    EXPECT_DOUBLE_EQ(ctx->pilotTable.entries[0].ecio, Ecio255(128));
    // A packet without fingers re-issues the last pilot values. Reference values were never set
    // (two pilots, no reference PN): they stay absent.
    Run102D(*ctx, Payload102D({}, {0, 160, 120, -10}));
    EXPECT_EQ(CurrentIds(*ctx),
              (Ids{0x7F010001, 0x7F010008, 0x7F010002, 0x7F010003, 0x7F010004, 0x7F01000C,
                   0x7F01000F, 0x7F010009, 0x7F01000D, 0x7F010010, 0x7F01000B}));
    // The pilot power is not recomputed from the new receive power.
    ExpectValues(*ctx, {{0x7F010008, 0}, {0x7F01000C, -3527}, {0x7F01000F, -3527 - 98581}});
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{kCopy}));  // no finger list; the table is published
}

// A finger whose state byte is 255 is out of lock whatever its status: it counts as the same
// finger with its lock bit clear.
TEST_F(PilotSets102D, StateByte255IsOutOfLock) {
    Bytes unusable = Payload102D({{100, 64}, {300, 64}});
    unusable[40] = 255;  // the second finger's state byte (fingers from 28, 10 bytes each)
    auto unlocked = NewContext();
    ctx->channelState = unlocked->channelState = 2;
    Run102D(*ctx, unusable);
    Run102D(*unlocked, Payload102D({{100, 64}, {300, 64, 0, 0}}));
    for (uint32_t id : CurrentIds(*unlocked))
        EXPECT_EQ(ValueOf(*ctx, id), ValueOf(*unlocked, id)) << id;
    EXPECT_EQ(CurrentIds(*ctx), CurrentIds(*unlocked));
    EXPECT_EQ(TablePns(*ctx), (Pns{100, 300}));
}

// Power values, their clamps and the channel state, and the finger walk: `fingers` fingers on
// PNs 1, 2, ... (energy 10), `declared` of them announced (-1: all), the one at `marker` the end
// marker. Transmit values kNoValue: cleared, not published.
TEST_F(PilotSets102D, PowerValuesAndFingerWalk) {
    const Power102D power;  // open loop -73 + 5 + 98.581 = 30.581, clamped to 30
    // clang-format off
    const struct {
        const char* name; Power102D power; uint16_t state; int32_t rx, openLoop, tx, gain;
        int fingers = 0, declared = -1, marker = -1, count = 0;
    } cases[] = {
        {"band class 1: -76 - 10 + 98.581", {1, 150, 120, 20}, 2, -98581, 12581, -12250, -10000},
        // Receive -20.914 clamps to -30, but the estimate uses -20.914: -73 + 20.914.
        {"receive clamp, estimate before clamp", {0, 127, 255, 0}, 2, -30000, -52085, 23000, 0},
        // -73 - 63.5 + 63.581 = -72.919 clamps to -60.
        {"lower open-loop clamp", {0, 255, 1, 127}, 2, -63581, -60000, -51916, -63500},
        {"transmitter off", {0, 150, 0, -10}, 2, -98581, kNoValue, kNoValue, kNoValue},
        {"access channel", power, 1, -98581, kNoValue, kNoValue, kNoValue},
        {"declared count", power, 2, -98581, 30000, -12250, 5000, 5, 3, -1, 3},
        {"end marker", power, 2, -98581, 30000, -12250, 5000, 5, -1, 2, 2},
        {"declared beyond the packet", power, 2, -98581, 30000, -12250, 5000, 2, 9, -1, 2},
        {"more than 64", power, 2, -98581, 30000, -12250, 5000, 70, -1, -1, 64},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<Finger102D> fingers;
        for (int i = 0; i < c.fingers; ++i) {
            fingers.push_back({static_cast<uint16_t>(i == c.marker ? 0xFFFF : i + 1), 10});
        }
        auto ctx = NewContext();
        ctx->channelState = c.state;
        Run102D(*ctx, Payload102D(fingers, c.power, c.declared));
        ExpectValues(*ctx, {{0x7F010001, c.rx}, {0x7F010008, c.count}});
        EXPECT_EQ(ctx->pilotTable.count, c.count);
        for (auto [id, value] :
             Values{{0x7F010002, c.openLoop}, {0x7F010003, c.tx}, {0x7F010004, c.gain}}) {
            const bool set = value != kNoValue;
            EXPECT_EQ(ParamOf(*ctx, id).state, set ? TESSAVO_STATE_FRESH : TESSAVO_STATE_CLEARED);
            EXPECT_EQ(set ? ValueOf(*ctx, id) : kNoValue, value) << std::hex << id;
        }
    }
}

TEST_F(PilotSets102D, EnergyAbove255AndTotalAboveZero) {
    Run102D(*ctx, Payload102D({{100, 64}, {100, 64}}));
    // PN 100 is known as active, so the table is kept; PN 200's fingers sum to 400, taken as
    // 255: 10 log10(255) - 24.6 = -0.5346 dB. PN 100 now has 64: -6.5382 dB.
    Run102D(*ctx, Payload102D({{100, 64}, {200, 200}, {200, 200}}));
    EXPECT_EQ(TablePns(*ctx), (Pns{100, 200}));
    EXPECT_DOUBLE_EQ(ctx->pilotTable.entries[0].ecio, Ecio255(64));
    EXPECT_DOUBLE_EQ(ctx->pilotTable.entries[1].ecio, Ecio255(255));
    // 10^-0.65382 + 10^-0.05346 = 1.106 (0.44 dB): reported as -0.1 dB.
    ExpectValues(
        *ctx,
        {{0x7F01000C, -100}, {0x7F01000F, -100 - 98581}, {0x7F01000D, -534}, {0x7F01000B, 200}});
}

TEST_F(PilotSets102D, StructuredTableCopyAndFingerList) {
    Run102D(*ctx, Payload102D({}));
    EXPECT_EQ(ctx->item.curStructCount, 0);  // no table copy when empty
    Run102D(*ctx, Payload102D({{5, 9, 0, 0}}));
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{kCopy}));  // no list without locked fingers
    std::vector<Finger102D> fingers;
    // 14 locked fingers on PNs 1..14 (energy 10 + i) and one unlocked in the middle.
    for (int i = 0; i < 14; ++i) {
        fingers.push_back({static_cast<uint16_t>(i + 1), static_cast<uint8_t>(10 + i),
                           0x1000u + static_cast<uint32_t>(i)});
        if (i == 1) fingers.push_back({77, 50, 0xDEAD, 0});
    }
    Run102D(*ctx, Payload102D(fingers));
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{kCopy, kList}));
    EXPECT_EQ(StructOf(*ctx, kCopy).Length(), 2564u);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kCopy, 0), 15u);
    // Entry 0: PN 1, energy 10 gives exactly -14.6 dB. Entry 2, the unlocked PN 77: no Ec/Io.
    EXPECT_DOUBLE_EQ(PayloadAt<double>(*ctx, kCopy, 4 + 20), -98.581 - 14.6);
    EXPECT_DOUBLE_EQ(PayloadAt<double>(*ctx, kCopy, 4 + 28), -14.6);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kCopy, 4 + 2 * 40 + 8), 77u);
    EXPECT_EQ(PayloadAt<double>(*ctx, kCopy, 4 + 2 * 40 + 28), kNoValueD);
    // Finger list: the first 12 locked fingers, the unlocked one left out.
    EXPECT_EQ(StructOf(*ctx, kList).Length(), 172u);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kList, 0), 12u);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kList, 4 + 2 * 14), 3);
    EXPECT_DOUBLE_EQ(PayloadAt<double>(*ctx, kList, 4 + 2 * 14 + 2), Ecio255(12));
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kList, 4 + 2 * 14 + 10), 0x1002u);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kList, 4 + 11 * 14), 12);
}

TEST_F(PilotSets102D, TableCopyHoldsAtMost64Entries) {
    std::vector<Finger102D> first, second = {{1, 10}};  // a known active PN: the table grows
    for (uint16_t pn = 1; pn <= 64; ++pn) first.push_back({pn, 10});
    for (uint16_t pn = 65; pn <= 100; ++pn) second.push_back({pn, 10});
    Run102D(*ctx, Payload102D(first));
    Run102D(*ctx, Payload102D(second));
    EXPECT_EQ(ctx->pilotTable.count, 100);
    EXPECT_EQ(ValueOf(*ctx, 0x7F010009), 100);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kCopy, 0), 64u);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kCopy, 4 + 63 * 40 + 8), 64u);
}

TEST_F(PilotSets119A, PowerAndFingerSubRecords) {
    ctx->channelState = 2;
    Run119A(*ctx, {PowerSub(), FingerSub({{10, 1000, 0xAABBCCDD},
                                          {20, 100, 0, 0x0002},  // only bit 1: not in lock
                                          {10, 24, 0x01020304}})});
    // Receive: the larger chain. PN 10: 1000 + 24 = 1024, 10 log10(1024) - 48.7 = -18.597 dB.
    // Open loop: -73 - 4 + 96.648.
    // clang-format off
    ExpectCurrent(*ctx, {{0x7F010001, -96648}, {0x7F010008, 2}, {0x7F010012, 283}, {0x7F010002, 19648},
                         {0x7F010003, 12500}, {0x7F010004, -4000}, {0x7F01000C, -18597},
                         {0x7F01000F, -115245}, {0x7F010012, 283}, {0x7F010009, 1}, {0x7F01000D, -18597},
                         {0x7F010010, -115245}, {0x7F01000B, 10}, {0x7F01000A, 10}, {0x7F01000E, -18597},
                         {0x7F010011, -115245}});
    // clang-format on
    EXPECT_EQ(ctx->lastChannel, 283);
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{kCopy, kList}));
    EXPECT_EQ(PayloadAt<int32_t>(*ctx, kCopy, 4 + 4), 283);
    EXPECT_DOUBLE_EQ(PayloadAt<double>(*ctx, kCopy, 4 + 28), Ecio48(1024));
    // The data word holds the blob's address (or 0 where an address needs more than 32 bits).
    const uintptr_t address = reinterpret_cast<uintptr_t>(StructOf(*ctx, kCopy).Payload());
    EXPECT_EQ(StructOf(*ctx, kCopy).Data(),
              address <= UINT32_MAX ? static_cast<uint32_t>(address) : 0u);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kList, 0), 2u);
    EXPECT_DOUBLE_EQ(PayloadAt<double>(*ctx, kList, 4 + 2), -18.7);
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kList, 4 + 10), 0xAABBCCDDu);
}

TEST_F(PilotSets119A, ReceiveChainAndChannelSelection) {
    // clang-format off
    const struct { int8_t agc0, agc1; uint8_t flag0, flag1; int32_t rx, channel; } cases[] = {
        {0, -110, 0, 0, -99988, 283},      // chain 0 silent: chain 1
        {-100, 0, 0, 0, -96648, 283},      // chain 1 silent: chain 0
        {-100, -90, 255, 0, -93308, 384},  // both: the larger; chain 0 unusable: channel 1
        {0, 0, 255, 255, -63248, 0},       // neither channel usable: the record's 0 stays
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.agc0} << "/" << int{c.agc1});
        auto ctx = NewContext();
        Run119A(*ctx, {PowerSub(c.agc0, c.agc1, c.flag0, c.flag1)});
        EXPECT_EQ(ValueOf(*ctx, 0x7F010001), c.rx);
        EXPECT_EQ(ValueOf(*ctx, 0x7F010012), c.channel);
    }
    ctx->channelState = 2;
    Run119A(*ctx, {PowerSub(-100, -110, 0, 0, 127)});
    // Gain not present: no transmit values. No finger: the channel, written from the power
    // sub-record, is re-issued as well.
    EXPECT_EQ(CurrentIds(*ctx), (Ids{0x7F010001, 0x7F010008, 0x7F010012, 0x7F010012}));
}

TEST_F(PilotSets119A, SubRecordWalkStopsAtShortOrOverlongRecord) {
    const Bytes tooShort = {9, 0, 3, 0};  // length 3: below its own header
    const Bytes overlong = {9, 0, 0xFF, 0x00};
    for (const Bytes& bad : {tooShort, overlong}) {
        auto ctx = NewContext();
        Run119A(*ctx, {bad, PowerSub(), FingerSub({{10, 100}})});
        // Nothing behind the bad record is read: no power, no finger.
        ExpectCurrent(*ctx, {{0x7F010008, 0}, {0x7F010012, 0}, {0x7F010012, 0}});
        EXPECT_EQ(ctx->item.curStructCount, 0);
    }
}

TEST_F(PilotSets119A, FingerListAcrossSubRecords) {
    Run119A(*ctx, {PowerSub(), FingerSub({{10, 100}}), FingerSub({{20, 100}, {30, 100}})});
    EXPECT_EQ(ValueOf(*ctx, 0x7F010008), 2);
    EXPECT_EQ(TablePns(*ctx), (Pns{20, 30}));  // each finger sub-record restarts the table
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kList, 0), 3u);  // the list runs over all of them
    // PN word 600 is out of the finger list's range, though its low 9 bits (88) make a pilot.
    // A finger sub-record without locked fingers still publishes an empty list.
    Run119A(*ctx, {PowerSub(), FingerSub({{10, 100, 0, 0}, {600, 100}})});
    EXPECT_EQ(ctx->pilotTable.count, 1);
    EXPECT_EQ(CurrentStructIds(*ctx), (Ids{kCopy, kList}));
    EXPECT_EQ(PayloadAt<uint32_t>(*ctx, kList, 0), 0u);
}

TEST_F(PilotSets119A, PilotTableCarriesOverUntilANewActiveSet) {
    Run119A(*ctx, {PowerSub(), FingerSub({{10, 1000}})});
    // First PN 10 is known: PN 20 joins the table.
    Run119A(*ctx, {PowerSub(), FingerSub({{10, 1000}, {20, 512}})});
    EXPECT_EQ(TablePns(*ctx), (Pns{10, 20}));
    EXPECT_EQ(ValueOf(*ctx, 0x7F010009), 2);
    EXPECT_EQ(ctx->referencePilot, 10);
    // First PN 30 is unknown: the table starts over, even though PN 20 follows.
    Run119A(*ctx, {PowerSub(), FingerSub({{30, 1000}, {20, 512}})});
    EXPECT_EQ(TablePns(*ctx), (Pns{30, 20}));
    // Two pilots: the reference stays PN 10, which is gone, so no reference values.
    EXPECT_EQ(ctx->referencePilot, 10);
    EXPECT_EQ(ParamOf(*ctx, 0x7F01000E).state, TESSAVO_STATE_INHERITED);
    // Without a known receive power pilots stay out of the table.
    auto fresh = NewContext();
    Run119A(*fresh, {FingerSub({{10, 1000}})});
    EXPECT_EQ(fresh->pilotTable.count, 0);
    EXPECT_EQ(ParamOf(*fresh, 0x7F010001).state, TESSAVO_STATE_CLEARED);  // never written
    // The summary still runs over the (empty) table.
    EXPECT_EQ(ParamOf(*fresh, 0x7F010009).state, TESSAVO_STATE_FRESH);
    EXPECT_EQ(ValueOf(*fresh, 0x7F010009), 0);
}

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
    for (const auto& [pn, strength] : pilots) PutU32(b, pn | strength << 16);
    return b;
}

TEST_F(PilotSetsStatus, CapturedResponseRebuildsTheTableAndFingersKeepIt) {
    const Bytes wire = FromHex(kCapturedPilotSetsFrame);
    Bytes packet(kUnescapeCapacity);
    int32_t length = 0;
    Unescape(wire.data(), wire.size(), packet.data(), length);
    ASSERT_EQ(length, 217);  // 214 response bytes, CRC, 0x7E
    packet.resize(static_cast<size_t>(length));

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
        EXPECT_EQ(std::pair(e.source, e.ecio), expected[i]);
        EXPECT_EQ(e.channel, kNoValue);
        EXPECT_EQ(e.rxPower, kNoValueD);
        EXPECT_EQ(e.pilotPower, kNoValueD);
        EXPECT_EQ(e.reserved, kNoValue);
    }
    // A 0x119A packet with one locked finger on PN 240 keeps the neighbours, and the summary
    // counts only the active-source pilot.
    Run119A(*ctx, {PowerSub(-100, -110, 0, 0, 127), FingerSub({{240, 1000}})});
    EXPECT_EQ(TablePns(*ctx), (Pns{240, 33, 21}));
    ExpectValues(*ctx, {{0x7F010009, 1}, {0x7F01000B, 240}});
    EXPECT_EQ(ctx->referencePilot, 240);
}

TEST_F(PilotSetsStatus, SameReportedPnIsOneEntryWithKnownPowerAndChannel) {
    ctx->rxPowerX1000 = -98581.0;
    ctx->lastChannel = 283;
    RunStatus(*ctx, Response(0x40, 1, 1, 0, {{240, 22}, {240, 30}}));
    ASSERT_EQ(TablePns(*ctx), Pns{240});
    const PilotEntry& e = ctx->pilotTable.entries[0];
    EXPECT_EQ(std::tuple(e.source, e.ecio, e.channel), std::tuple(1u, -15.0, 283));
    EXPECT_DOUBLE_EQ(e.rxPower, -98.581);
    EXPECT_DOUBLE_EQ(e.pilotPower, -113.581);
}

TEST_F(PilotSetsStatus, PnZeroShrinksItsSetAndSourcesFollowTheSets) {
    RunStatus(*ctx, Response(0x40, 2, 2, 2, {{10, 4}, {0, 9}, {20, 6}, {30, 8}, {40, 63}, {0, 5}}));
    // Sizes 1, 2, 1; PN 0 left no gap.
    EXPECT_EQ(PayloadBytes(*ctx, kStatus, 0, 5), (Bytes{0x34, 0x12, 1, 2, 1}));
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 1 * 4), 20);
    EXPECT_EQ(PayloadAt<uint16_t>(*ctx, kStatus, 5 + 3 * 4), 40);
    ASSERT_EQ(TablePns(*ctx), (Pns{10, 20, 30}));  // PN 40 is an unmeasured neighbour
    const auto& e = ctx->pilotTable.entries;
    EXPECT_EQ(std::tuple(e[0].ecio, e[1].source, e[2].source, e[2].ecio),
              std::tuple(-2.0, 1u, 1u, -4.0));
}

TEST_F(PilotSetsStatus, AtMost64PilotsAreKeptAndOtherFirstByteGivesZeroRecord) {
    std::vector<std::pair<uint16_t, uint16_t>> pilots;
    for (uint16_t pn = 1; pn <= 70; ++pn) pilots.push_back({pn, 10});
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

}  // namespace
}  // namespace tessavo::test

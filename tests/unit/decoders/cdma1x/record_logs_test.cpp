// Record logs: identified events (0x10F2 to 0x1100), records with a structured copy (0x1060,
// 0x106C, 0x106E, 0x1071, command 0x63), frame and power statistics (0x1025/0x1026, 0x1029,
// 0x102B, 0x102C, 0x1031, 0x100E).
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "decoders/cdma1x/event_records.h"
#include "decoders/cdma1x/frame_power_stats.h"
#include "decoders/cdma1x/structured_records.h"
#include "unit/decoders/cdma1x/cdma1x_test_util.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

// A payload of `size` bytes (packet bytes 16 on) with the identifier at payload 13 and the
// given packet bytes set.
Bytes Ev(uint16_t identifier, std::initializer_list<std::pair<int, uint8_t>> bytes = {},
         size_t size = 28) {
    Bytes p(28, 0);
    StoreLE(p.data() + 13, identifier);
    for (auto [packetOffset, value] : bytes) p[static_cast<size_t>(packetOffset - 16)] = value;
    p.resize(size);
    return p;
}

// 0x1025 / 0x1026 entry: the quality word at byte 1, the extra-length byte at byte 5, then
// `padding` bytes of extra length.
Bytes MeanEntry(uint16_t word, uint8_t extraByte, size_t padding = 0) {
    Bytes e = {0, static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), 0, 0, extraByte};
    e.insert(e.end(), padding, 0xEE);
    return e;
}

Bytes Group(uint8_t mask, uint16_t frames, uint8_t size, const Bytes& records) {
    Bytes g = {mask, static_cast<uint8_t>(frames), static_cast<uint8_t>(frames >> 8), size};
    g.insert(g.end(), records.begin(), records.end());
    return g;
}

// Payload with the group count at `countAt` and groups right after it.
Bytes Groups(size_t countAt, std::initializer_list<Bytes> groups, uint8_t bandClass = 0) {
    Bytes p(countAt, 0);
    p[1] = bandClass;
    p.push_back(static_cast<uint8_t>(groups.size()));
    for (const Bytes& g : groups) p.insert(p.end(), g.begin(), g.end());
    return p;
}

const Ids kShareIds = {0x7F010101, 0x7F010102, 0x7F010103, 0x7F010104};

// One frame over channels 0 and 1: receive AGC 128, transmit byte 150, gain byte -4, channel 0
// level 0, channel 1 level 32767 (not present in the frame).
const Bytes kPowerRecord = {0, 0, 128, 150, 0xFC, 0x00, 0x00, 0xFF, 0x7F};
const Bytes kTwoFrames = Group(0x3, 2, 9, Concat({kPowerRecord, kPowerRecord}));

Bytes CategoryPayload(std::initializer_list<std::pair<uint8_t, uint8_t>> entries) {
    Bytes p = {static_cast<uint8_t>(entries.size())};
    for (auto [a, b] : entries) p.insert(p.end(), {a, b});
    return p;
}

// One packet each: the whole current list, the structures, the rise of the message code (from
// the log code in the upper 16 bits) and the channel state before.
TEST(RecordLogs, Vectors) {
    // clang-format off
    const Bytes p1060 = Concat({{7, 1, 2}, U16s({0xAAAA, 0xAAAA, 0xBBBB, 0xBBBB}), {11, 12, 42, 14}});
    const Bytes p106C = Concat({{0, 0, 0, 2, 0}, U16s({0x5555, 0x3344, 0x1122, 5, 0, 0xFFFF, 0xFFFF, 0}),
                                {0, 0, 0, 0xA1, 0xA2}});
    const Bytes p106E = Concat({{0x12, 0x00, 0xA7}, U16s({0x0304, 0x86A0, 0x0001, 0x0D40, 0x0003, 0x93E0}),
                                U16s({0x0004, 0x0506, 0x0708}), {0x09, 0x0A, 0x0B}});
    const int32_t kExtended = 0x09 * 65536 + 0x0708;
    // Rate shares. Channel 0: rates 0, 1, 7 (counts as 0), 4 -> rate 0 in 2 of 4 = 50 %.
    // Channel 1: rates 2, 2, 3, 4 -> rate 2 in 2 of the 3 frames at rates 0..3 = 66.67 %.
    // Channel 2: rates 2, 1 -> 50 %; channel 3: rates 0, 5 (counts as 0) -> 100 %.
    const Bytes g1 = Group(0x3, 4, 2, {0x10, 0x02, 0x01, 0x02, 0x07, 0x03, 0x04, 0x04});
    const Bytes g2 = Group(0xC, 2, 2, {0x02, 0x00, 0x01, 0x05});
    // Channel power. Receive power: 128 / 3 - 148.581 = -105.9143 dBm. Gain: -(-4) / 2 = 2 dB
    // per frame. Channel 0: L = 10^0 = 1, so T' = T - 10 log10(2) = T - 3.0103, summed over two
    // frames, truncated, then divided by 2. T = 150 / 3 - 52.25 = -2.25 (band 0), 150 / 3 -
    // 55.25 = -5.25 (band 1), 0 otherwise: sums -10.52, -16.52, -6.02 -> -5, -8, -3.
    const auto Power = [](int32_t channel0) {
        return IdValues{{0x7F010109, channel0}, {0x7F010001, -105914}, {0x7F010004, 2000}}; };
    // The 0x100E table: 50 words, (row x 4 + column, value) given, the rest 0.
    const auto Table = [](std::initializer_list<std::pair<size_t, uint32_t>> words) {
        Bytes b(200, 0);
        for (auto [i, v] : words) StoreLE(b.data() + 4 * i, v);
        return Structs{{0x7F0107F5, 200, b}};
    };
    const LogHandler Categories = [](DecoderContext& ctx, PacketView packet, int32_t extra) {
        HandleFrameCategoryParams(ctx, packet, extra);
        HandleFrameCategoryStruct(ctx, packet, extra);
    };
    const auto F2 = HandleEvent10F2, F4 = HandleEvent10F4, F5 = HandleEvent10F5, F8 = HandleEvent10F8,
               E1100 = HandleEvent1100, Mean = HandleFrameEntryMean, Channels = HandleChannelPower;
    const struct {
        uint16_t logCode; LogHandler handler; Bytes payload; IdValues params; Structs structs = {};
        uint32_t codeRaise = 0; uint16_t channelState = 0;
    } cases[] = {
        {0x10F2, F2, Ev(270, {{31, 5}, {32, 6}}), {{0x7F01D107, 5}, {0x7F01D108, 6}}, {}, 270},
        {0x10F2, F2, Ev(271, {{31, 5}}), {}, {}, 271},
        {0x10F4, F4, Ev(456, {{31, 1}, {32, 2}}), {{0x7F01D104, 1}, {0x7F01D105, 2}}, {}, 456},
        {0x10F4, F4, Ev(293, {{31, 0xFF}}), {{0x7F01D106, 255}}, {}, 293},
        {0x10F4, F4, Ev(273, {{31, 9}}), {{0x7F01D109, 9}}, {}, 273},
        {0x10F4, F4, Ev(999, {{31, 9}}), {}, {}, 999},
        // The sub-identifier is packet byte 31, which is also the type T (code + T + 512).
        // T 152 with D set: the cause is in packet byte 32 itself (0x93 & 0x1F = 19).
        {0x10F5, F5, Ev(258, {{31, 152}, {32, 0x93}}), {{0x7F01D101, 19}}, {}, 664},
        {0x10F5, F5, Ev(259, {{31, 25}, {32, 0x00}, {34, 0xE7}, {37, 0x01}}), {{0x7F01D101, 7}}, {}, 537},
        {0x10F5, F5, Ev(258, {{31, 81}, {32, 0x80}, {33, 0x02}, {36, 0x3F}}), {{0x7F01D101, 31}}, {}, 593},
        {0x10F5, F5, Ev(258, {{31, 26}}), {}, {}, 538},
        {0x10F5, F5, Ev(300, {{31, 152}, {32, 0x93}}), {}, {}, 664},
        {0x10F8, F8, Ev(261, {{32, 3}, {33, 4}, {35, 0x78}, {36, 0x56}, {37, 0x34}, {38, 0x12}, {39, 1},
                              {42, 0x80}}),
         {{0x7F01D10A, 3}, {0x7F01D10B, 4}, {0x7F01D10C, 0x12345678},
          {0x7F01D10D, static_cast<int32_t>(0x80000001u)}}, {}, 261},
        {0x10F8, F8, Ev(262, {{32, 3}}), {}, {}, 262},
        {0x1100, E1100, Ev(77), {}, {}, 77},  // only raises the message code
        {0x1060, HandleRecord1060, p1060, {{0x7F018325, 42}, {0x7F018326, 7}},
         {{0x7F0107E1, 12, U32s({42, 7, 0})}}},
        {0x106C, HandleRecord106C, p106C, {{0x7F01832D, 0x11223344}, {0x7F01832E, 5}, {0x7F01832F, -1}},
         {{0x7F0107E3, 12, U32s({0x11223344, 5, 0xFFFFFFFF})}}},
        {0x1071, HandleRecord1071, {0xC8}, {{0x7F01831A, 200}}, {{0x7F0107DE, 4, U32s({200})}}},
        // 0x186A0 = 100000, 0x30D40 = 200000, 0x493E0 = 300000.
        {0x106E, HandleRecord106E, p106E,
         {{0x7F01830E, 100000}, {0x7F01830F, 200000}, {0x7F018310, 300000}, {0x7F018313, 0x0304},
          {0x7F018314, 0x12}, {0x7F018315, kExtended}, {0x7F018316, 0x0A}, {0x7F018317, 0x0506},
          {0x7F018319, 7}},
         {{0x7F0107DD, 52, U32s({0, 100000, 200000, 300000, 0, 0, 0x0304, 0x12,
                                 static_cast<uint32_t>(kExtended), 0x0A, 0x0506, 0, 7})}}},
        // Top bits of the word are not part of the value: (100 + 200) / 2 x 100.
        {0x1025, Mean, Concat({{0, 2}, MeanEntry(0x4064, 0), MeanEntry(0x00C8, 0)}), {{0x7F010205, 15000}}},
        // Extra byte 5: (5 >> 2) + (5 & 3) = 2 bytes more; (1000 + 50) / 2 x 100.
        {0x1026, Mean, Concat({{0, 2}, MeanEntry(1000, 5, 2), MeanEntry(50, 0)}), {{0x7F010206, 52500}}},
        // Extra byte 0xFF is -1: (-1 >> 2) + (-1 & 3) = 2; (10 + 30) / 2 x 100.
        {0x1025, Mean, Concat({{0, 2}, MeanEntry(10, 0xFF, 2), MeanEntry(30, 0)}), {{0x7F010205, 2000}}},
        // Extra byte 0x80: step 6 - 32 would not advance; the walk stops after summing it.
        {0x1025, Mean, Concat({{0, 3}, MeanEntry(7, 0x80), MeanEntry(500, 0)}), {{0x7F010205, 700}}},
        // Five announced, one present: the mean is over the entries summed.
        {0x1026, Mean, Concat({{0, 5}, MeanEntry(9, 0)}), {{0x7F010206, 900}}},
        {0x1025, Mean, {0, 0}, {{0x7F010205, 0}}},
        {0x1029, HandleRateShares, Groups(5, {g1, g2}),
         {{0x7F010101, 50000}, {0x7F010102, 66666}, {0x7F010103, 50000}, {0x7F010104, 100000}}},
        {0x102C, Channels, Groups(6, {kTwoFrames}, 0), Power(-5000), {}, 0, 2},
        {0x102C, Channels, Groups(6, {kTwoFrames}, 1), Power(-8000), {}, 0, 2},
        {0x102C, Channels, Groups(6, {kTwoFrames}, 2), Power(-3000), {}, 0, 2},
        // No complete group: nothing published.
        {0x102C, Channels, Groups(6, {}), {}, {}, 0, 2},
        {0x102C, Channels, Groups(6, {kTwoFrames, Group(0x1, 0, 9, {})}), {}, {}, 0, 2},
        {0x102C, Channels, Groups(6, {Group(0x1, 5, 9, {0, 0, 128})}), {}, {}, 0, 2},
        // cnt[1][0] = 2 (one flagged), cnt[1][9] = 1, cnt[8][9] = 1 (flagged). Column 0 takes
        // row 1 as A and row 8 as C: out[0][0] = 2, out[3][0] = 1, out[8][0] = 1,
        // out[10][0] = 2. total[0] = 3; out[11][0] = (100 - 2 x 100 / 3) x 256 = 8533.
        // share1 = 1 x 100 / 3 -> 3333; share2 = 2 x 100 / 4 -> 5000.
        {0x100E, Categories, CategoryPayload({{0x10, 1}, {0x10, 0}, {0x19, 0}, {0x89, 2}}),
         {{0x7F010006, 3333}, {0x7F010005, 5000}}, Table({{0, 2}, {12, 1}, {32, 1}, {40, 2}, {44, 8533}})},
        // cnt[15][3] = 1 (flagged) enters column 0 as row B of the triple (12, 15, 13):
        // out[3][0], not in the column's total, its flag not counted. cnt[4][0] = 1 enters
        // column 3 as row A: out[0][3] = 1, total 1, out[11][3] = (100 - 0) x 256 = 25600.
        {0x100E, Categories, CategoryPayload({{0xF3, 1}, {0x40, 0}}), {{0x7F010006, 0}, {0x7F010005, 0}},
         Table({{12, 1}, {3, 1}, {47, 25600}})},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "row " << &c - cases);
        RecordHarness h;
        h.Ctx().channelState = c.channelState;
        const uint32_t base = static_cast<uint32_t>(c.logCode) << 16;
        h.Log(c.logCode, c.payload, {c.handler}, base, 0, c.logCode);
        EXPECT_EQ(h.Ctx().item.msgCode, base + c.codeRaise);
        h.ExpectCurrent(c.params);
        ExpectStructs(h.Ctx(), c.structs);
    }
    Record106C rec;
    const Bytes packet = Dispatched(LogPacket(0x106C, p106C));
    ParseRecord106C(PacketView(packet.data(), static_cast<int32_t>(packet.size())), rec);
    EXPECT_EQ(Bytes(rec.list.begin(), rec.list.begin() + 3), (Bytes{0xA1, 0xA2, 0}));  // 2 read
    RecordHarness h;  // outside the traffic state: no gain
    h.Log(0x102C, Groups(6, {kTwoFrames}), {HandleChannelPower});
    EXPECT_EQ(h.Current(), (Ids{0x7F010109, 0x7F010001}));
    // 300 frames at rate 0 and 100 at rate 1 on channel 0: 75 %.
    Bytes records(300, 0x00);
    records.insert(records.end(), 100, 0x01);
    h.Log(0x1029, Groups(5, {Group(0x1, 400, 1, records)}), {HandleRateShares});
    EXPECT_EQ(h.Value(0x7F010101), 75000);
}

TEST(EventRecords, ShortPacketReadsZeroBeyondItsEndAndCodeWrapsAsUnsigned) {
    RecordHarness h;
    h.Preset(0x7F01D101, 3);
    h.Log(0x1100, Ev(77), {HandleEvent1100}, 0x11000000);
    EXPECT_EQ(h.Inherited(), Ids{0x7F01D101});
    // Payload of 20 bytes: the packet ends at byte 38 (CRC and terminator at 36 to 38), so the
    // u32 at 39 to 42 lies wholly outside it.
    h.Log(0x10F8, Ev(260, {{32, 7}}, 20), {HandleEvent10F8}, 0x10F80000);
    for (auto [id, v] : IdValues{{0x7F01D10A, 7}, {0x7F01D10B, 0}, {0x7F01D10D, 0}})
        EXPECT_EQ(h.Value(id), v) << std::hex << id;
    h.Log(0x10F2, Ev(0xFFFF), {HandleEvent10F2}, 0xFFFFFFF0u);
    EXPECT_EQ(h.Ctx().item.msgCode, 0xFFEFu);
}

// A group whose records are too small for the fields of its channels (record size 0 above all:
// 65535 frames in four bytes) ends the walk like a group running past the packet, so a small
// packet cannot claim millions of frames. After a valid packet, such a packet leaves no fresh
// value: 0x1029 and 0x102B clear theirs, 0x102C publishes nothing.
TEST(ChannelGroups, RecordsTooSmallForTheirChannelsEndTheWalk) {
    // needs: bytes of a record with the mask's channels.
    // clang-format off
    const struct { uint16_t logCode; size_t countAt; LogHandler handler; uint8_t mask, needs; Ids ids;
                   int32_t after; }
    cases[] = {
        {0x1029, 5, HandleRateShares, 0x3, 2, {0x7F010101, 0x7F010102}, -1},  // a rate byte per channel
        // Two bytes, then a sample per channel.
        {0x102B, 6, HandleChannelAverages, 0x5, 4, {0x7F010105, 0x7F010107}, -1},
        // AGC, transmit and gain bytes at 2 to 4, then two bytes per channel.
        {0x102C, 6, HandleChannelPower, 0x3, 9, {0x7F010109, 0x7F010001}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        Bytes zeroSize = Concat({Bytes(c.countAt, 0), {255}});
        for (int g = 0; g < 255; ++g) zeroSize = Concat({zeroSize, Group(c.mask, 0xFFFF, 0, {})});
        const uint8_t shortSize = c.needs - 1;
        const Bytes shortRecords =
            Groups(c.countAt, {Group(c.mask, 2, shortSize, Bytes(2 * shortSize, 0x01))});
        for (const Bytes& hostile : {zeroSize, shortRecords}) {
            RecordHarness h;
            h.Ctx().channelState = 2;
            h.Log(c.logCode, Groups(c.countAt, {Group(c.mask, 1, c.needs, Bytes(c.needs, 0x01))}),
                  {c.handler});
            for (uint32_t id : c.ids) ASSERT_EQ(h.State(id), 1) << std::hex << id;
            h.Log(c.logCode, hostile, {c.handler});
            for (uint32_t id : c.ids) EXPECT_EQ(h.State(id), c.after) << std::hex << id;
        }
    }
}

TEST(RateShares, ChannelsWithoutFramesOrOverrunGroupsAreCleared) {
    RecordHarness h;
    h.Log(0x1029, Groups(5, {Group(0xF, 1, 4, {0, 2, 2, 0})}), {HandleRateShares});
    h.Log(0x1029, Groups(5, {Group(0x1, 1, 1, {0})}), {HandleRateShares});
    h.ExpectCurrent(
        {{0x7F010101, 100000}, {0x7F010102, -9999}, {0x7F010103, -9999}, {0x7F010104, -9999}});
    EXPECT_EQ(h.State(0x7F010101), 1);
    EXPECT_EQ(h.State(0x7F010104), -1);
    // A valid first group, then one that declares 100 frames of 2 bytes but carries 4 bytes.
    h.Log(0x1029, Groups(5, {Group(0xF, 1, 4, {0, 2, 2, 0})}), {HandleRateShares});
    h.Log(0x1029, Groups(5, {Group(0x1, 1, 1, {0}), Group(0x3, 100, 2, {0, 0, 0, 0})}),
          {HandleRateShares});
    EXPECT_EQ(h.Current(), kShareIds);
    for (uint32_t id : kShareIds) EXPECT_EQ(h.State(id), -1) << std::hex << id;
}

TEST(ChannelAverages, MeanSampleInEighthsZeroSumAndOverrun) {
    // Channels 0 and 2, samples at record bytes 2 and 3. Channel 0: (40 + 44 + 36) / 3 = 40,
    // / 8 = 5.0. Channel 2: (-8 - 8 + 0) / 3 = -5 (toward zero), / 8 = -0.625.
    const Bytes records = {0, 0, 40, 0xF8, 0, 0, 44, 0xF8, 0, 0, 36, 0};
    RecordHarness h;
    h.Preset(0x7F010106, 1234);
    h.Log(0x102B, Groups(6, {Group(0x5, 3, 4, records)}), {HandleChannelAverages});
    h.ExpectCurrent({{0x7F010105, 5000}, {0x7F010107, -625}, {0x7F010106, -9999}});
    EXPECT_EQ(h.State(0x7F010106), -1);
    // Frames with samples 40 and -8 (record size 3), then 2 of size 4: (40 - 8 + 4 - 12) / 4 =
    // 6, / 8 = 0.75.
    h.Log(0x102B,
          Groups(6, {Group(0x1, 2, 3, {0, 0, 40, 0, 0, 0xF8}),
                     Group(0x1, 2, 4, {0, 0, 4, 9, 0, 0, 0xF4, 9})}),
          {HandleChannelAverages});
    EXPECT_EQ(h.Value(0x7F010105), 750);
    h.Log(0x102B, Groups(6, {Group(0x1, 2, 3, {0, 0, 8, 0, 0, 0xF8})}), {HandleChannelAverages});
    EXPECT_EQ(h.Current(), Ids{0x7F010105});
    EXPECT_EQ(h.State(0x7F010105), -1);
    h.Log(0x102B, Groups(6, {Group(0x1, 1, 3, {0, 0, 16})}), {HandleChannelAverages});
    EXPECT_EQ(h.Value(0x7F010105), 2000);
    h.Log(0x102B, Groups(6, {Group(0x1, 9, 3, {0, 0, 16})}), {HandleChannelAverages});
    EXPECT_EQ(h.Current(), Ids{0x7F010105});  // the others were never written
    EXPECT_EQ(h.State(0x7F010105), -1);
}

struct Counters {
    uint32_t a, b, c = 0, d = 0, e = 0, g = 0;
};

Bytes CounterPayload(uint64_t resetTicks, const Counters& k) {
    Bytes p(86, 0);
    StoreLE(p.data() + 1, StampFromTicks(resetTicks));
    const std::pair<size_t, uint32_t> fields[] = {{54, k.a}, {82, k.b}, {9, k.c},
                                                  {50, k.d}, {66, k.e}, {78, k.g}};
    for (auto [at, v] : fields) StoreLE(p.data() + at, v);
    return p;
}

constexpr uint64_t kSecond = 800;  // ticks
constexpr uint64_t kReset = 50 * kSecond;

TEST(TrafficCounters, RatesBetweenPacketsOfAPeriod) {
    // clang-format off
    const struct { bool fresh; uint64_t ticks; Counters counters; std::optional<IdValues> list; } steps[] = {
        // First packet: no previous counters, so no rates. The shares compare with zero counters:
        // C / D = 10 / 100 = 10 %, E / (G + E) = 30 / 100 = 30 %.
        {true, 100 * kSecond, {1000, 2000, 10, 100, 30, 70},
         IdValues{{0x7F010203, 1000}, {0x7F010204, 3000}}},
        // Two seconds later: A +500 bytes, B +250 -> 2000 and 1000 bit/s; C +5 of D +20 = 25 %;
        // E +1 of G +3 and E +1 = 25 %.
        {false, 102 * kSecond, {1500, 2250, 15, 120, 31, 73},
         IdValues{{0x7F010201, 2000}, {0x7F010202, 1000}, {0x7F010203, 2500}, {0x7F010204, 2500}}},
        {true, 101 * kSecond, {1800, 2800}, std::nullopt},
        {false, 102 * kSecond, {1700, 2900}, IdValues{}},  // A went backwards: no rates
        {false, 102 * kSecond, {1800, 3000}, IdValues{}},  // same packet time as the previous one
        // Half a second later: 100 bytes x 8 / 0.5 s.
        {false, 102 * kSecond + 400, {1900, 3000}, IdValues{{0x7F010201, 1600}, {0x7F010202, 0}}},
    };
    // clang-format on
    std::unique_ptr<RecordHarness> h;
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "step " << &s - steps);
        if (s.fresh) h = std::make_unique<RecordHarness>();
        h->Log(0x1031, CounterPayload(kReset, s.counters), {HandleTrafficCounters}, 0, s.ticks);
        if (s.list) h->ExpectCurrent(*s.list);
    }
}

// Status response body after the command byte: ESN, 6 bytes, IMSI_S, MNC (sent value), MCC
// (sent value), then the fields at record 39 to 49, and `trailing` bytes more: with one the
// packet reaches 39 bytes with its check bytes. IMSI_S of 1234567890: "123" (12 = 100 + 20 +
// 3 - 111) in bits 24..33, "456" (345) in bits 14..23, the digit 7 in bits 10..13, "890"
// (789, the digit 0 sent as 10) in bits 0..9. MCC 310 is sent as 209, MNC 00 as 99.
Bytes StatusBody(uint16_t channel, size_t trailing = 1) {
    return Concat({U32s({0xDEADBEEF}),
                   Bytes(6, 0),
                   U32s({(12u << 24) | (345u << 14) | (7u << 10) | 789u, 0}),
                   {99, 209, 0, 0, 0x39, 0x39, 0x41, 0x41, 0, 44, 0, 0},
                   U16s({channel, 0x4949}),
                   Bytes(trailing, 0)});
}

TEST(StatusResponse, IdentityChannelAndShortOrForeignPackets) {
    constexpr uint64_t kImsi = 310001234567890ull;
    RecordHarness h;
    ASSERT_EQ(Dispatched(CommandPacket(0x63, StatusBody(283))).size(), 39u);
    h.Packet(CommandPacket(0x63, StatusBody(283)), {HandleStatusParams, HandleStatusStruct});
    // clang-format off
    h.ExpectCurrent({{0x7F010310, static_cast<int32_t>(kImsi >> 32)},
                     {0x7F010311, static_cast<int32_t>(kImsi & 0xFFFFFFFF)},
                     {0x7F01030F, static_cast<int32_t>(0xDEADBEEF)}, {0x7F010316, 0},
                     {0x7F010317, 1234567890}, {0x7F010318, 0}, {0x7F010319, 310},
                     {0x7F010016, 44}, {0x7F010012, 283}});
    // clang-format on
    EXPECT_EQ(h.Ctx().lastChannel, 283);
    // ESN, MCC, MNC, IMSI_S as a 64-bit word, then the IMSI as text, bounded and zero-filled.
    const std::string text = "310001234567890";
    Bytes record = Concat({U32s({0xDEADBEEF}), U16s({310}), {0}, U32s({1234567890, 0})});
    record.insert(record.end(), text.begin(), text.end());
    record.resize(47, 0);
    ExpectStructs(h.Ctx(), {{0x7F0107FA, 47, record}});
    for (uint16_t channel : {37, 78, 119}) {  // placeholders, not channels
        RecordHarness p;
        p.Packet(CommandPacket(0x63, StatusBody(channel)), {HandleStatusParams});
        EXPECT_EQ(p.Current().size(), 8u) << channel;
        EXPECT_EQ(p.Ctx().lastChannel, kNoValue);
    }
    // 38 bytes with check bytes: one short.
    h.Packet(CommandPacket(0x63, StatusBody(283, 0)), {HandleStatusParams});
    EXPECT_EQ(h.Value(0x7F010319), 0);
    EXPECT_EQ(h.Value(0x7F010012), 0);
    // A packet that is not a command 0x63 response: fifteen zero digits, then the terminator.
    h.Packet(CommandPacket(0x40, StatusBody(283)), {HandleStatusParams, HandleStatusStruct});
    EXPECT_EQ(h.Value(0x7F01030F), 0);
    EXPECT_EQ(h.StructBytes(0x7F0107FA, 15, 16), Concat({Bytes(15, '0'), {0}}));
}

}  // namespace
}  // namespace tessavo::test

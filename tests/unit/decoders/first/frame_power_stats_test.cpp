// Frame and power statistics: 0x1025/0x1026, 0x1029, 0x102B, 0x102C, 0x1031, 0x100E.
#include "decoders/first/frame_power_stats.h"

#include <gtest/gtest.h>

#include "unit/decoders/first/record_decoder_harness.h"

namespace tessavo::test {
namespace {

using Ids = std::vector<uint32_t>;

// ---- 0x1025 / 0x1026 ----

// One entry: the quality word at entry byte 1, the extra-length byte at entry byte 5, then
// `padding` bytes of extra length.
Bytes MeanEntry(uint16_t word, uint8_t extraByte, size_t padding = 0) {
    Bytes e = {0};
    PutU16(e, word);
    PutU8(e, 0);
    PutU8(e, 0);
    PutU8(e, extraByte);
    e.insert(e.end(), padding, 0xEE);
    return e;
}

struct MeanCase {
    const char* name;
    uint16_t logCode;
    uint8_t announced;
    std::vector<Bytes> entries;
    uint32_t id;
    int32_t expected;
};

class FrameEntryMean : public ::testing::TestWithParam<MeanCase> {};

TEST_P(FrameEntryMean, PublishesMeanTimes100) {
    const MeanCase& c = GetParam();
    Bytes payload = {0, c.announced};
    for (const Bytes& e : c.entries) payload.insert(payload.end(), e.begin(), e.end());
    RecordHarness h;
    h.Log(c.logCode, payload, {HandleFrameEntryMean}, 0, 0, c.logCode);
    EXPECT_EQ(h.Current(), Ids{c.id});
    EXPECT_EQ(h.Value(c.id), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameEntryMean,
    ::testing::Values(
        // Top bits of the word are not part of the value: (100 + 200) / 2 x 100.
        MeanCase{"TwoEntries",
                 0x1025,
                 2,
                 {MeanEntry(0x4064, 0), MeanEntry(0x00C8, 0)},
                 0x7F010205,
                 15000},
        // Extra byte 5: (5 >> 2) + (5 & 3) = 2 bytes more; (1000 + 50) / 2 x 100.
        MeanCase{"PositiveExtra",
                 0x1026,
                 2,
                 {MeanEntry(1000, 5, 2), MeanEntry(50, 0)},
                 0x7F010206,
                 52500},
        // Extra byte 0xFF is -1: (-1 >> 2) + (-1 & 3) = 2; (10 + 30) / 2 x 100.
        MeanCase{
            "SignedExtra", 0x1025, 2, {MeanEntry(10, 0xFF, 2), MeanEntry(30, 0)}, 0x7F010205, 2000},
        // Extra byte 0x80: step 6 - 32 would not advance; the walk stops after summing it.
        MeanCase{"NoAdvance", 0x1025, 3, {MeanEntry(7, 0x80), MeanEntry(500, 0)}, 0x7F010205, 700},
        // Five announced, one present: the mean is over the entries summed.
        MeanCase{"ShortPacket", 0x1026, 5, {MeanEntry(9, 0)}, 0x7F010206, 900},
        MeanCase{"NoEntries", 0x1025, 0, {}, 0x7F010205, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Channel groups ----

Bytes Group(uint8_t mask, uint16_t frames, uint8_t size, const Bytes& records) {
    Bytes g = {mask};
    PutU16(g, frames);
    PutU8(g, size);
    g.insert(g.end(), records.begin(), records.end());
    return g;
}

// Payload with the group count at `countAt` and groups right after it.
Bytes GroupPayload(size_t countAt, uint8_t bandClass, std::initializer_list<Bytes> groups) {
    Bytes p(countAt, 0);
    if (countAt > 1) p[1] = bandClass;
    p.push_back(static_cast<uint8_t>(groups.size()));
    for (const Bytes& g : groups) p.insert(p.end(), g.begin(), g.end());
    return p;
}

const Ids kShareIds = {0x7F010101, 0x7F010102, 0x7F010103, 0x7F010104};

TEST(RateShares, SharesOfTheExpectedRatePerChannel) {
    // Channel 0: rates 0, 1, 7 (counts as 0), 4 -> rate 0 in 2 of 4 = 50 %.
    // Channel 1: rates 2, 2, 3, 4 -> rate 2 in 2 of the 3 frames at rates 0..3 = 66.67 %.
    // Channel 2: rates 2, 1 -> 50 %; channel 3: rates 0, 5 (counts as 0) -> 100 %.
    const Bytes g1 = Group(0x3, 4, 2, {0x10, 0x02, 0x01, 0x02, 0x07, 0x03, 0x04, 0x04});
    const Bytes g2 = Group(0xC, 2, 2, {0x02, 0x00, 0x01, 0x05});
    RecordHarness h;
    h.Log(0x1029, GroupPayload(5, 0, {g1, g2}), {HandleRateShares});
    EXPECT_EQ(h.Current(), kShareIds);
    EXPECT_EQ(h.Value(0x7F010101), 50000);
    EXPECT_EQ(h.Value(0x7F010102), 66666);
    EXPECT_EQ(h.Value(0x7F010103), 50000);
    EXPECT_EQ(h.Value(0x7F010104), 100000);
}

TEST(RateShares, HistogramCountsBeyond255Frames) {
    // 300 frames at rate 0 and 100 at rate 1 on channel 0: 75 %.
    Bytes records(300, 0x00);
    records.insert(records.end(), 100, 0x01);
    RecordHarness h;
    h.Log(0x1029, GroupPayload(5, 0, {Group(0x1, 400, 1, records)}), {HandleRateShares});
    EXPECT_EQ(h.Value(0x7F010101), 75000);
    // The same counts with the 300 frames in a group of record size 0: each of them reads the
    // byte after the group header (rate 0).
    h.Log(0x1029,
          GroupPayload(5, 0, {Group(0x1, 100, 1, Bytes(100, 0x01)), Group(0x1, 300, 0, {0x00})}),
          {HandleRateShares});
    EXPECT_EQ(h.Value(0x7F010101), 75000);
}

TEST(RateShares, ChannelWithoutFramesIsClearedWithNoValue) {
    RecordHarness h;
    h.Log(0x1029, GroupPayload(5, 0, {Group(0xF, 1, 4, {0, 2, 2, 0})}), {HandleRateShares});
    EXPECT_EQ(h.Current(), kShareIds);
    h.Log(0x1029, GroupPayload(5, 0, {Group(0x1, 1, 1, {0})}), {HandleRateShares});
    EXPECT_EQ(h.Current(), kShareIds);  // 0x101 fresh, then the three cleared ones
    EXPECT_EQ(h.State(0x7F010101), 1);
    EXPECT_EQ(h.Value(0x7F010101), 100000);
    for (uint32_t id : {0x7F010102u, 0x7F010103u, 0x7F010104u}) {
        EXPECT_EQ(h.State(id), -1) << std::hex << id;
        EXPECT_EQ(h.Value(id), -9999) << std::hex << id;
    }
}

TEST(RateShares, GroupRunningPastThePacketClearsAllFour) {
    RecordHarness h;
    h.Log(0x1029, GroupPayload(5, 0, {Group(0xF, 1, 4, {0, 2, 2, 0})}), {HandleRateShares});
    // A valid first group, then one that declares 100 frames of 2 bytes but carries 4 bytes.
    h.Log(0x1029, GroupPayload(5, 0, {Group(0x1, 1, 1, {0}), Group(0x3, 100, 2, {0, 0, 0, 0})}),
          {HandleRateShares});
    EXPECT_EQ(h.Current(), kShareIds);
    for (uint32_t id : kShareIds) EXPECT_EQ(h.State(id), -1) << std::hex << id;
}

const Ids kAverageIds = {0x7F010105, 0x7F010106, 0x7F010107, 0x7F010108};

TEST(ChannelAverages, MeanSampleInEighths) {
    // Channels 0 and 2, samples at record bytes 2 and 3. Channel 0: 40 + 44 + 36 = 120,
    // 120 / 3 = 40, / 8 = 5.0. Channel 2: -8 - 8 + 0 = -16, -16 / 3 = -5 (toward zero),
    // / 8 = -0.625.
    const Bytes records = {0, 0, 40, 0xF8, 0, 0, 44, 0xF8, 0, 0, 36, 0};
    RecordHarness h;
    h.Preset(0x7F010106, 1234);
    h.Log(0x102B, GroupPayload(6, 0, {Group(0x5, 3, 4, records)}), {HandleChannelAverages});
    EXPECT_EQ(h.Current(), (Ids{0x7F010105, 0x7F010107, 0x7F010106}));
    EXPECT_EQ(h.Value(0x7F010105), 5000);
    EXPECT_EQ(h.Value(0x7F010107), -625);
    EXPECT_EQ(h.State(0x7F010106), -1);
    EXPECT_EQ(h.Value(0x7F010106), -9999);
}

TEST(ChannelAverages, SamplesSummingToZeroAreClearedNotZero) {
    RecordHarness h;
    h.Log(0x102B, GroupPayload(6, 0, {Group(0x1, 1, 3, {0, 0, 16})}), {HandleChannelAverages});
    EXPECT_EQ(h.Value(0x7F010105), 2000);  // 16 / 1 / 8 = 2.0
    h.Log(0x102B, GroupPayload(6, 0, {Group(0x1, 2, 3, {0, 0, 8, 0, 0, 0xF8})}),
          {HandleChannelAverages});
    EXPECT_EQ(h.Current(), Ids{0x7F010105});
    EXPECT_EQ(h.State(0x7F010105), -1);
}

TEST(ChannelAverages, ZeroRecordSizeCountsEveryFrame) {
    // A group of 1 frame with sample 40, then 3 frames of record size 0 that all read the bytes
    // after their header (sample -8): (40 - 24) / 4 = 4, / 8 = 0.5.
    RecordHarness h;
    h.Log(0x102B,
          GroupPayload(6, 0, {Group(0x1, 1, 3, {0, 0, 40}), Group(0x1, 3, 0, {0, 0, 0xF8})}),
          {HandleChannelAverages});
    EXPECT_EQ(h.Value(0x7F010105), 500);
}

TEST(ChannelAverages, GroupRunningPastThePacketClearsAllFour) {
    RecordHarness h;
    h.Log(0x102B, GroupPayload(6, 0, {Group(0x1, 1, 3, {0, 0, 16})}), {HandleChannelAverages});
    h.Log(0x102B, GroupPayload(6, 0, {Group(0x1, 9, 3, {0, 0, 16})}), {HandleChannelAverages});
    EXPECT_EQ(h.State(0x7F010105), -1);
    EXPECT_EQ(h.Current(), Ids{0x7F010105});  // the others were never written
}

// ---- 0x102C ----

// Two frames of a group over channels 0 and 1: receive AGC 128, transmit byte 150, gain byte
// -4, channel 0 level 0, channel 1 level 32767 (not present in the frame).
Bytes PowerGroup() {
    Bytes rec = {0, 0, 128, 150, 0xFC};
    PutU16(rec, 0);
    PutU16(rec, 32767);
    Bytes records = rec;
    records.insert(records.end(), rec.begin(), rec.end());
    return Group(0x3, 2, 9, records);
}

struct PowerCase {
    uint8_t bandClass;
    int32_t channel0;
};

class ChannelPowerBands : public ::testing::TestWithParam<PowerCase> {};

// Receive power: 128 / 3 - 148.581 = -105.9143 dBm. Gain: -(-4) / 2 = 2 dB per frame.
// Channel 0: L = 10^0 = 1, so T' = T - 10 log10(2) = T - 3.0103; per frame T' + 0 / 8, summed
// over two frames, truncated, then divided by 2 frames. T = 150 / 3 - 52.25 = -2.25 (band 0),
// 150 / 3 - 55.25 = -5.25 (band 1), 0 otherwise: sums -10.52, -16.52, -6.02 -> -5, -8, -3.
TEST_P(ChannelPowerBands, ChannelPowerReceivePowerAndGain) {
    RecordHarness h;
    h.Ctx().channelState = 2;
    h.Log(0x102C, GroupPayload(6, GetParam().bandClass, {PowerGroup()}), {HandleChannelPower});
    EXPECT_EQ(h.Current(), (Ids{0x7F010109, 0x7F010001, 0x7F010004}));
    EXPECT_EQ(h.Value(0x7F010109), GetParam().channel0);
    EXPECT_EQ(h.Value(0x7F010001), -105914);
    EXPECT_EQ(h.Value(0x7F010004), 2000);
}

INSTANTIATE_TEST_SUITE_P(Bands, ChannelPowerBands,
                         ::testing::Values(PowerCase{0, -5000}, PowerCase{1, -8000},
                                           PowerCase{2, -3000}));

TEST(ChannelPower, ZeroRecordSizeRepeatsTheRecordAfterTheHeader) {
    // Two frames of record size 0 both read the one record after the header: the same sums as
    // the two identical frames of PowerGroup (band class 0).
    const Bytes g = PowerGroup();
    Bytes zeroSize = {g[0], g[1], g[2], 0};
    zeroSize.insert(zeroSize.end(), g.begin() + 4, g.begin() + 4 + 9);
    RecordHarness h;
    h.Ctx().channelState = 2;
    h.Log(0x102C, GroupPayload(6, 0, {zeroSize}), {HandleChannelPower});
    EXPECT_EQ(h.Current(), (Ids{0x7F010109, 0x7F010001, 0x7F010004}));
    EXPECT_EQ(h.Value(0x7F010109), -5000);
    EXPECT_EQ(h.Value(0x7F010001), -105914);
    EXPECT_EQ(h.Value(0x7F010004), 2000);
}

TEST(ChannelPower, OutsideTheTrafficStateNoGainAdjust) {
    RecordHarness h;
    h.Log(0x102C, GroupPayload(6, 0, {PowerGroup()}), {HandleChannelPower});
    EXPECT_EQ(h.Current(), (Ids{0x7F010109, 0x7F010001}));
}

TEST(ChannelPower, NoCompleteGroupPublishesNothing) {
    RecordHarness h;
    h.Ctx().channelState = 2;
    h.Log(0x102C, GroupPayload(6, 0, {}), {HandleChannelPower});
    EXPECT_TRUE(h.Current().empty());
    h.Log(0x102C, GroupPayload(6, 0, {PowerGroup(), Group(0x1, 0, 9, {})}), {HandleChannelPower});
    EXPECT_TRUE(h.Current().empty());
    h.Log(0x102C, GroupPayload(6, 0, {Group(0x1, 5, 9, {0, 0, 128})}), {HandleChannelPower});
    EXPECT_TRUE(h.Current().empty());
}

// ---- 0x1031 ----

struct Counters {
    uint32_t a, b, c, d, e, g;
};

Bytes CounterPayload(uint64_t resetTicks, const Counters& k) {
    Bytes p(86, 0);
    StoreLE(p.data() + 1, StampFromTicks(resetTicks));
    StoreLE(p.data() + 54, k.a);
    StoreLE(p.data() + 82, k.b);
    StoreLE(p.data() + 9, k.c);
    StoreLE(p.data() + 50, k.d);
    StoreLE(p.data() + 66, k.e);
    StoreLE(p.data() + 78, k.g);
    return p;
}

constexpr uint64_t kSecond = 800;  // ticks

TEST(TrafficCounters, RatesFromTheSecondPacketOfAPeriod) {
    RecordHarness h;
    const uint64_t reset = 50 * kSecond;
    // First packet: no previous counters, so no rates. The shares compare with zero counters:
    // C / D = 10 / 100 = 10 %, E / (G + E) = 30 / 100 = 30 %.
    h.Log(0x1031, CounterPayload(reset, {1000, 2000, 10, 100, 30, 70}), {HandleTrafficCounters}, 0,
          100 * kSecond);
    EXPECT_EQ(h.Current(), (Ids{0x7F010203, 0x7F010204}));
    EXPECT_EQ(h.Value(0x7F010203), 1000);
    EXPECT_EQ(h.Value(0x7F010204), 3000);

    // Two seconds later: A +500 bytes, B +250 -> 2000 and 1000 bit/s; C +5 of D +20 = 25 %;
    // E +1 of G +3 and E +1 = 25 %.
    h.Log(0x1031, CounterPayload(reset, {1500, 2250, 15, 120, 31, 73}), {HandleTrafficCounters}, 0,
          102 * kSecond);
    EXPECT_EQ(h.Current(), (Ids{0x7F010201, 0x7F010202, 0x7F010203, 0x7F010204}));
    EXPECT_EQ(h.Value(0x7F010201), 2000);
    EXPECT_EQ(h.Value(0x7F010202), 1000);
    EXPECT_EQ(h.Value(0x7F010203), 2500);
    EXPECT_EQ(h.Value(0x7F010204), 2500);
}

TEST(TrafficCounters, NoRatesAcrossAResetOrABackwardCounter) {
    RecordHarness h;
    const Counters k = {1000, 2000, 0, 0, 0, 0};
    h.Log(0x1031, CounterPayload(50 * kSecond, k), {HandleTrafficCounters}, 0, 100 * kSecond);
    // New reset second.
    h.Log(0x1031, CounterPayload(60 * kSecond, {1800, 2800, 0, 0, 0, 0}), {HandleTrafficCounters},
          0, 101 * kSecond);
    EXPECT_TRUE(h.Current().empty());
    // Same reset again, but A went backwards.
    h.Log(0x1031, CounterPayload(60 * kSecond, {1700, 2900, 0, 0, 0, 0}), {HandleTrafficCounters},
          0, 102 * kSecond);
    EXPECT_TRUE(h.Current().empty());
    // Same packet time as the previous one: no interval.
    h.Log(0x1031, CounterPayload(60 * kSecond, {1800, 3000, 0, 0, 0, 0}), {HandleTrafficCounters},
          0, 102 * kSecond);
    EXPECT_TRUE(h.Current().empty());
    // Half a second later: 100 bytes x 8 / 0.5 s.
    h.Log(0x1031, CounterPayload(60 * kSecond, {1900, 3000, 0, 0, 0, 0}), {HandleTrafficCounters},
          0, 102 * kSecond + 400);
    EXPECT_EQ(h.Current(), (Ids{0x7F010201, 0x7F010202}));
    EXPECT_EQ(h.Value(0x7F010201), 1600);
    EXPECT_EQ(h.Value(0x7F010202), 0);
}

// ---- 0x100E ----

Bytes CategoryPayload(std::initializer_list<std::pair<uint8_t, uint8_t>> entries) {
    Bytes p = {static_cast<uint8_t>(entries.size())};
    for (auto [a, b] : entries) {
        p.push_back(a);
        p.push_back(b);
    }
    return p;
}

TEST(FrameCategories, FoldsCountsIntoRowsAndShares) {
    // cnt[1][0] = 2 (one flagged), cnt[1][9] = 1, cnt[8][9] = 1 (flagged). Column 0 takes row 1
    // as A and row 8 as C: out[0][0] = 2, out[3][0] = 1, out[8][0] = 1, out[10][0] = 2.
    // total[0] = 2 + 1 = 3; out[11][0] = (100 - 2 x 100 / 3) x 256 = 8533.3 -> 8533.
    // share1 = 1 x 100 / 3 = 33.33 -> 3333; share2 = 2 x 100 / 4 = 50 -> 5000.
    RecordHarness h;
    h.Log(0x100E, CategoryPayload({{0x10, 1}, {0x10, 0}, {0x19, 0}, {0x89, 2}}),
          {HandleFrameCategoryParams, HandleFrameCategoryStruct});
    EXPECT_EQ(h.Current(), (Ids{0x7F010006, 0x7F010005}));
    EXPECT_EQ(h.Value(0x7F010006), 3333);
    EXPECT_EQ(h.Value(0x7F010005), 5000);
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107F5});
    EXPECT_EQ(h.Struct(0x7F0107F5).Length(), 200u);
    std::array<uint32_t, 50> expected{};
    expected[0] = 2;
    expected[4 * 3] = 1;
    expected[4 * 8] = 1;
    expected[4 * 10] = 2;
    expected[4 * 11] = 8533;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107F5, 4 * i), expected[i]) << "word " << i;
    }
}

TEST(FrameCategories, ExtraRowsOfColumnZeroBringNoFlaggedCounts) {
    // cnt[15][3] = 1 (flagged) enters column 0 as row B of the triple (12, 15, 13): out[3][0],
    // which is not in the column's total, and its flag is not counted. cnt[4][0] = 1 enters
    // column 3 as row A: out[0][3] = 1, total 1, out[11][3] = (100 - 0) x 256 = 25600.
    RecordHarness h;
    h.Log(0x100E, CategoryPayload({{0xF3, 1}, {0x40, 0}}),
          {HandleFrameCategoryParams, HandleFrameCategoryStruct});
    EXPECT_EQ(h.Value(0x7F010006), 0);
    EXPECT_EQ(h.Value(0x7F010005), 0);
    std::array<uint32_t, 50> expected{};
    expected[4 * 3 + 0] = 1;
    expected[0 * 4 + 3] = 1;
    expected[4 * 11 + 3] = 25600;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107F5, 4 * i), expected[i]) << "word " << i;
    }
}

}  // namespace
}  // namespace tessavo::test

// Frame and power statistics: 0x1025/0x1026, 0x1029, 0x102B, 0x102C, 0x1031, 0x100E.
#include "decoders/cdma1x/frame_power_stats.h"

#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

// 0x1025 / 0x1026 entry: the quality word at byte 1, the extra-length byte at byte 5, then
// `padding` bytes of extra length.
Bytes MeanEntry(uint16_t word, uint8_t extraByte, size_t padding = 0) {
    Bytes e = {0, static_cast<uint8_t>(word), static_cast<uint8_t>(word >> 8), 0, 0, extraByte};
    e.insert(e.end(), padding, 0xEE);
    return e;
}

TEST(FrameEntryMean, PublishesMeanTimes100) {
    // clang-format off
    const struct { uint16_t logCode; uint8_t announced; std::vector<Bytes> entries; int32_t expected; }
    cases[] = {
        // Top bits of the word are not part of the value: (100 + 200) / 2 x 100.
        {0x1025, 2, {MeanEntry(0x4064, 0), MeanEntry(0x00C8, 0)}, 15000},
        // Extra byte 5: (5 >> 2) + (5 & 3) = 2 bytes more; (1000 + 50) / 2 x 100.
        {0x1026, 2, {MeanEntry(1000, 5, 2), MeanEntry(50, 0)}, 52500},
        // Extra byte 0xFF is -1: (-1 >> 2) + (-1 & 3) = 2; (10 + 30) / 2 x 100.
        {0x1025, 2, {MeanEntry(10, 0xFF, 2), MeanEntry(30, 0)}, 2000},
        // Extra byte 0x80: step 6 - 32 would not advance; the walk stops after summing it.
        {0x1025, 3, {MeanEntry(7, 0x80), MeanEntry(500, 0)}, 700},
        // Five announced, one present: the mean is over the entries summed.
        {0x1026, 5, {MeanEntry(9, 0)}, 900},
        {0x1025, 0, {}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        Bytes payload = {0, c.announced};
        for (const Bytes& e : c.entries) payload.insert(payload.end(), e.begin(), e.end());
        RecordHarness h;
        h.Log(c.logCode, payload, {HandleFrameEntryMean}, 0, 0, c.logCode);
        const uint32_t id = c.logCode == 0x1025 ? 0x7F010205 : 0x7F010206;
        h.ExpectCurrent({{id, c.expected}});
    }
}

// ---- Channel groups ----

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

TEST(ChannelGroups, Vectors) {
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
        return IdValues{{0x7F010109, channel0}, {0x7F010001, -105914}, {0x7F010004, 2000}};
    };
    // clang-format off
    const struct { const char* name; uint16_t logCode; LogHandler handler; Bytes payload; IdValues expected; }
    cases[] = {
        {"rate shares", 0x1029, HandleRateShares, Groups(5, {g1, g2}),
         {{0x7F010101, 50000}, {0x7F010102, 66666}, {0x7F010103, 50000}, {0x7F010104, 100000}}},
        {"power band 0", 0x102C, HandleChannelPower, Groups(6, {kTwoFrames}, 0), Power(-5000)},
        {"power band 1", 0x102C, HandleChannelPower, Groups(6, {kTwoFrames}, 1), Power(-8000)},
        {"power band 2", 0x102C, HandleChannelPower, Groups(6, {kTwoFrames}, 2), Power(-3000)},
        // No complete group: nothing published.
        {"power, no group", 0x102C, HandleChannelPower, Groups(6, {}), {}},
        {"power, empty group", 0x102C, HandleChannelPower, Groups(6, {kTwoFrames, Group(0x1, 0, 9, {})}), {}},
        {"power, short group", 0x102C, HandleChannelPower, Groups(6, {Group(0x1, 5, 9, {0, 0, 128})}), {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordHarness h;
        h.Ctx().channelState = 2;
        h.Log(c.logCode, c.payload, {c.handler});
        h.ExpectCurrent(c.expected);
    }
    RecordHarness h;  // outside the traffic state: no gain
    h.Log(0x102C, Groups(6, {kTwoFrames}), {HandleChannelPower});
    EXPECT_EQ(h.Current(), (Ids{0x7F010109, 0x7F010001}));
    // 300 frames at rate 0 and 100 at rate 1 on channel 0: 75 %.
    Bytes records(300, 0x00);
    records.insert(records.end(), 100, 0x01);
    h.Log(0x1029, Groups(5, {Group(0x1, 400, 1, records)}), {HandleRateShares});
    EXPECT_EQ(h.Value(0x7F010101), 75000);
}

// A group whose records are too small for the fields of its channels (record size 0 above all:
// 65535 frames in four bytes) ends the walk like a group running past the packet, so a small
// packet cannot claim millions of frames. After a valid packet, such a packet leaves no fresh
// value: 0x1029 and 0x102B clear theirs, 0x102C publishes nothing.
TEST(ChannelGroups, RecordsTooSmallForTheirChannelsEndTheWalk) {
    // needs: bytes of a record with the mask's channels.
    // clang-format off
    const struct { uint16_t logCode; size_t countAt; LogHandler handler; uint8_t mask, needs; Ids ids; int32_t after; }
    cases[] = {
        {0x1029, 5, HandleRateShares, 0x3, 2, {0x7F010101, 0x7F010102}, -1},  // a rate byte per channel
        // Two bytes, then a sample per channel.
        {0x102B, 6, HandleChannelAverages, 0x5, 4, {0x7F010105, 0x7F010107}, -1},
        // AGC, transmit and gain bytes at 2 to 4, then two bytes per channel.
        {0x102C, 6, HandleChannelPower, 0x3, 9, {0x7F010109, 0x7F010001}, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        Bytes zeroSize(c.countAt, 0);
        zeroSize.push_back(255);
        for (int g = 0; g < 255; ++g) {
            const Bytes group = Group(c.mask, 0xFFFF, 0, {});
            zeroSize.insert(zeroSize.end(), group.begin(), group.end());
        }
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

// ---- 0x1031 ----

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

TEST(TrafficCounters, RatesFromTheSecondPacketOfAPeriod) {
    RecordHarness h;
    // First packet: no previous counters, so no rates. The shares compare with zero counters:
    // C / D = 10 / 100 = 10 %, E / (G + E) = 30 / 100 = 30 %.
    h.Log(0x1031, CounterPayload(kReset, {1000, 2000, 10, 100, 30, 70}), {HandleTrafficCounters}, 0,
          100 * kSecond);
    h.ExpectCurrent({{0x7F010203, 1000}, {0x7F010204, 3000}});
    // Two seconds later: A +500 bytes, B +250 -> 2000 and 1000 bit/s; C +5 of D +20 = 25 %;
    // E +1 of G +3 and E +1 = 25 %.
    h.Log(0x1031, CounterPayload(kReset, {1500, 2250, 15, 120, 31, 73}), {HandleTrafficCounters}, 0,
          102 * kSecond);
    h.ExpectCurrent(
        {{0x7F010201, 2000}, {0x7F010202, 1000}, {0x7F010203, 2500}, {0x7F010204, 2500}});
}

TEST(TrafficCounters, NoRatesForABackwardCounterOrNoInterval) {
    RecordHarness h;
    h.Log(0x1031, CounterPayload(kReset, {1800, 2800}), {HandleTrafficCounters}, 0, 101 * kSecond);
    // A went backwards.
    h.Log(0x1031, CounterPayload(kReset, {1700, 2900}), {HandleTrafficCounters}, 0, 102 * kSecond);
    EXPECT_TRUE(h.Current().empty());
    // Same packet time as the previous one.
    h.Log(0x1031, CounterPayload(kReset, {1800, 3000}), {HandleTrafficCounters}, 0, 102 * kSecond);
    EXPECT_TRUE(h.Current().empty());
    // Half a second later: 100 bytes x 8 / 0.5 s.
    h.Log(0x1031, CounterPayload(kReset, {1900, 3000}), {HandleTrafficCounters}, 0,
          102 * kSecond + 400);
    h.ExpectCurrent({{0x7F010201, 1600}, {0x7F010202, 0}});
}

// ---- 0x100E ----

Bytes CategoryPayload(std::initializer_list<std::pair<uint8_t, uint8_t>> entries) {
    Bytes p = {static_cast<uint8_t>(entries.size())};
    for (auto [a, b] : entries) p.insert(p.end(), {a, b});
    return p;
}

TEST(FrameCategories, FoldsCountsIntoRowsAndShares) {
    // words: (row x 4 + column, value); the rest 0.
    // clang-format off
    const struct { Bytes payload; int32_t share1, share2; std::vector<std::pair<size_t, uint32_t>> words; }
    cases[] = {
        // cnt[1][0] = 2 (one flagged), cnt[1][9] = 1, cnt[8][9] = 1 (flagged). Column 0 takes
        // row 1 as A and row 8 as C: out[0][0] = 2, out[3][0] = 1, out[8][0] = 1,
        // out[10][0] = 2. total[0] = 3; out[11][0] = (100 - 2 x 100 / 3) x 256 = 8533.
        // share1 = 1 x 100 / 3 -> 3333; share2 = 2 x 100 / 4 -> 5000.
        {CategoryPayload({{0x10, 1}, {0x10, 0}, {0x19, 0}, {0x89, 2}}), 3333, 5000,
         {{0, 2}, {12, 1}, {32, 1}, {40, 2}, {44, 8533}}},
        // cnt[15][3] = 1 (flagged) enters column 0 as row B of the triple (12, 15, 13):
        // out[3][0], not in the column's total, its flag not counted. cnt[4][0] = 1 enters
        // column 3 as row A: out[0][3] = 1, total 1, out[11][3] = (100 - 0) x 256 = 25600.
        {CategoryPayload({{0xF3, 1}, {0x40, 0}}), 0, 0, {{12, 1}, {3, 1}, {47, 25600}}},
    };
    // clang-format on
    for (const auto& c : cases) {
        RecordHarness h;
        h.Log(0x100E, c.payload, {HandleFrameCategoryParams, HandleFrameCategoryStruct});
        h.ExpectCurrent({{0x7F010006, c.share1}, {0x7F010005, c.share2}});
        EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107F5});
        EXPECT_EQ(h.Struct(0x7F0107F5).Length(), 200u);
        std::vector<uint32_t> expected(50, 0);
        for (auto [i, v] : c.words) expected[i] = v;
        EXPECT_EQ(h.StructWords(0x7F0107F5, 0, 50), expected);
    }
}

}  // namespace
}  // namespace tessavo::test

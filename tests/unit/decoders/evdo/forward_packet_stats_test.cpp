// Forward packet statistics: 0x12A2 (multi-carrier), 0x1192 and 0x1193 (single carrier).
//
// Worked values used below (rates in bit/s with the 1024/1000 factor):
// - 1000 packets of 1024 bits over T = 1000: 1024 bits per unit -> over time 1048.576.
// - Over slots for packets of 1024 bits: 1024 x float(1024 / 1.67) = 627889.8125.
// - 8000 packets of 128 bits: over slots 1024 x float(128 / 1.67) = 78486.2265625.
// - 2000 more 1024-bit packets in 1000 units: since last 1024 x 2048 / 1000 = 2097.152;
//   with 500 new B packets the B share is 500 / 2500 = 20 %.
#include "decoders/evdo/forward_packet_stats.h"

#include <gtest/gtest.h>

#include <climits>

#include "unit/decoders/evdo/packet_stats_payloads.h"

namespace tessavo::test {
namespace {

const Counters kFirst = {{3, 1000}};             // 1000 A packets of 1024 bits
const Counters kSecond = {{3, 3000}, {4, 500}};  // 2000 more, and 500 B packets

TEST(MultiCarrierForwardStats, PerCarrierRatesAndSumsOverTheSet) {
    // Sums over the set after carrier 0 restarted (34.816 over time) next to carrier 1.
    const std::vector<int64_t> sums = {0x7F019302, -3040,  0x7F018402, 0,     0x7F018202, 0,
                                       0x7F019303, 627889, 0x7F01A303, 78486, 0x7F018403, 706376,
                                       0x7F018203, 706376, 0x7F019301, 34,    0x7F01A301, 1048,
                                       0x7F018401, 1083,   0x7F018201, 1083,  0x7F018407, 0,
                                       0x7F018206, 0};
    std::vector<int64_t> restart = {0x7F019408, INT32_MIN, 0x7F019403, -3040,
                                    0x7F019404, 627889,    0x7F019402, 34};
    restart.insert(restart.end(), sums.begin(), sums.end());
    RecordHarness h;
    h.Ctx().carrierMode = 2;
    RunSteps(h, 0x12A2, {HandleForwardStatsParams12A2, HandleForwardStatsStruct12A2},
             {
                 // Carrier 0 of 2: primes its history, no sums yet.
                 {Payload12A2(1000, 2, 0, kFirst), {0x7F019404, 627889, 0x7F019402, 1048}},
                 // Carrier 1, the last of the set: sums over the carriers' stored rates.
                 {Payload12A2(1000, 2, 1, {{0, 8000}}),
                  {0x7F01A404, 78486,  0x7F01A402, 1048,   0x7F019303, 627889, 0x7F01A303, 78486,
                   0x7F018403, 706376, 0x7F018203, 706376, 0x7F019301, 1048,   0x7F01A301, 1048,
                   0x7F018401, 2097,   0x7F018201, 2097}},
                 {Payload12A2(2000, 2, 0, kSecond),
                  {0x7F019408, 2000, 0x7F019403, 2097, 0x7F019404, 627889, 0x7F019402, 1572}},
                 // A repeat of carrier 1 brings no share and no since-last rate; its stored
                 // rates and carrier 0's take part in the sums. Over time: 1572.864 + 1048.576.
                 {Payload12A2(1000, 2, 1, {{0, 8000}}),
                  {0x7F01A404, 78486,  0x7F01A402, 1048,   0x7F019302, 2097,  0x7F018402, 2097,
                   0x7F018202, 2097,   0x7F019303, 627889, 0x7F01A303, 78486, 0x7F018403, 706376,
                   0x7F018203, 706376, 0x7F019301, 1572,   0x7F01A301, 1048,  0x7F018401, 2621,
                   0x7F018201, 2621,   0x7F018407, 2000,   0x7F018206, 2000}},
                 // Counters restarted on carrier 0, now a set of one: 100 packets over T = 3000;
                 // since last -2969 x 1.024 and a B share out of range. The sums clamp to 0.
                 {Payload12A2(3000, 1, 0, {{3, 100}}), restart},
                 // Carrier index 3 (of 4): no per-carrier values, the sums still run.
                 {Payload12A2(4000, 4, 3, kSecond), sums},
             });
}

// Counter k holds 100 + k; byte p of the rest of the payload holds p & 0xFF.
TEST(ForwardStatsBlobs, CounterGroupsAndCarriedBytes) {
    Counters numbered;
    for (int k = 0; k < 56; ++k) numbered[k] = 100 + static_cast<uint32_t>(k);
    using Words = std::vector<uint32_t>;
    RecordHarness h;  // carrier mode unknown: 0x12A2 publishes only its blob
    h.Log(0x12A2, Payload12A2(7, 1, 0xF3, numbered, 0xACD2),
          {HandleForwardStatsParams12A2, HandleForwardStatsStruct12A2});
    EXPECT_TRUE(h.Current().empty());
    ASSERT_EQ(h.CurrentStructs(), Ids{0x7F0107EF});
    const uint32_t m = 0x7F0107EF;
    EXPECT_EQ(h.StructWords(m, 0, 9), (Words{1234, 3, 21, 100, 101, 102, 103, 406, 104}));
    EXPECT_EQ(h.StructWords(m, 232, 3), (Words{145, 145, 146}));  // group 11: one A counter
    EXPECT_EQ(h.StructWords(m, 284, 3), (Words{154, 154, 155}));  // group 15
    EXPECT_EQ(h.StructBytes(m, 296, 2), (Bytes{233, 234}));
    EXPECT_EQ(h.StructBytes(m, 982, 3), (Bytes{919 & 0xFF, 920 & 0xFF, 0}));
    EXPECT_EQ(h.StructBytes(m, 998, 3), (Bytes{0, 0, 937 & 0xFF}));
    EXPECT_EQ(h.StructBytes(m, 1178, 4),
              (Bytes{1115 & 0xFF, 1116 & 0xFF, 1118 & 0xFF, 1119 & 0xFF}));
    EXPECT_EQ(h.StructBytes(m, 1354, 2), (Bytes{1292 & 0xFF, 1293 & 0xFF}));

    const uint32_t s = 0x7F0107E4;
    h.Log(0x1192, Payload1192(7, numbered), {HandleForwardStatsStruct1192});
    ASSERT_EQ(h.CurrentStructs(), Ids{s});
    EXPECT_EQ(h.StructWords(s, 0, 6), (Words{100, 101, 102, 103, 406, 104}));
    EXPECT_EQ(h.StructBytes(s, 284, 2), (Bytes{228, 229}));
    EXPECT_EQ(h.StructBytes(s, 970, 3), (Bytes{914 & 0xFF, 915 & 0xFF, 0}));
    EXPECT_EQ(h.StructBytes(s, 986, 3), (Bytes{0, 0, 932 & 0xFF}));
    EXPECT_EQ(h.StructBytes(s, 1342, 2), (Bytes{1286 & 0xFF, 1287 & 0xFF}));

    const Bytes payload = Payload1193(7, numbered);
    h.Log(0x1193, payload, {HandleForwardStatsStruct1193});
    ASSERT_EQ(h.CurrentStructs(), Ids{0x7F0107E5});
    EXPECT_EQ(h.StructBytes(0x7F0107E5, 0, 156), Bytes(payload.begin() + 4, payload.end()));
}

TEST(SingleCarrierForwardStats, RatesAcrossPackets) {
    RecordHarness h;
    RunSteps(h, 0x1192, {HandleForwardStatsParams1192, HandleForwardStatsStruct1192},
             {
                 {Payload1192(1000, kFirst), {0x7F018401, 1048, 0x7F018403, 627889}},
                 {Payload1192(2000, kSecond),
                  {0x7F018401, 1572, 0x7F018402, 2097, 0x7F018403, 627889, 0x7F018407, 2000}},
                 // Not later than the last packet: primes the history again (4096000 bits).
                 {Payload1192(2000, {{3, 4000}, {4, 500}}), {0x7F018401, 2097, 0x7F018403, 627889}},
                 // B counter restarted: the share is held at 100 %.
                 {Payload1192(3000, {{3, 5000}, {4, 100}}),
                  {0x7F018401, 1746, 0x7F018402, 1048, 0x7F018403, 627889, 0x7F018407, 10000}},
             });
    EXPECT_EQ(h.Ctx().flag1068And1192, 1);

    // The 32-bit bit sum wraps between two packets: 4194000 and 4196000 packets of 1024 bits.
    // The growth is 2048000 bits modulo 2^32; the over-time and over-slots rates see the
    // wrapped sum (1736704 bits).
    RecordHarness w;
    RunSteps(w, 0x1192, {HandleForwardStatsParams1192},
             {
                 {Payload1192(2000000, {{3, 4194000}}), {0x7F018401, 2198, 0x7F018403, 627889}},
                 {Payload1192(2001000, {{3, 4196000}}),
                  {0x7F018401, 0, 0x7F018402, 2097, 0x7F018403, 253, 0x7F018407, 0}},
             });
    // A sum wider than 32 bits in the history (from the summed form of the alternate range)
    // that the new sum falls below gives no since-last rate.
    uint64_t growth = 0;
    EXPECT_FALSE(BitSumGrowth(100, 5000000000, growth));
    EXPECT_TRUE(BitSumGrowth(5000000010, 5000000000, growth));
    EXPECT_EQ(growth, 10u);
}

// 0x1193 alone, and after two 0x1192 packets whose last values join the totals. Its
// since-last value is the bit growth itself: 2048000 x 1.024 = 2097152.
TEST(SecondTableForwardStats, OwnValuesAndTotals) {
    const Bytes q1 = Payload1193(1000, kFirst);
    const Bytes q2 = Payload1193(2000, kSecond);
    RecordHarness alone;  // no single-carrier values: the totals are its own
    RunSteps(alone, 0x1193, {HandleForwardStatsParams1193, HandleForwardStatsStruct1193},
             {{q1, {0x7F018404, 1048, 0x7F018406, 627889, 0x7F018201, 1048, 0x7F018203, 627889}}});

    RecordHarness h;
    h.Log(0x1192, Payload1192(1000, kFirst), {HandleForwardStatsParams1192});
    h.Log(0x1192, Payload1192(2000, kSecond), {HandleForwardStatsParams1192});
    RunSteps(h, 0x1193, {HandleForwardStatsParams1193, HandleForwardStatsStruct1193},
             {
                 // 1048.576 + 1572.864; 2 x 627889.8125; the share of 0x1192 alone.
                 {q1,
                  {0x7F018404, 1048, 0x7F018406, 627889, 0x7F018201, 2621, 0x7F018202, 2097,
                   0x7F018203, 1255779, 0x7F018206, 2000, 0x7F018208, 500, 0x7F018209, 2500}},
                 // 2097152 + 2097.152; (500 + 500) B of (2500 + 2500) packets.
                 {q2, {0x7F018404, 1572, 0x7F018406, 627889,  0x7F018405, 2097152, 0x7F018408, 2000,
                       0x7F018201, 3145, 0x7F018202, 2099249, 0x7F018203, 1255779, 0x7F018206, 2000,
                       0x7F018208, 1000, 0x7F018209, 5000}},
             });
}

}  // namespace
}  // namespace tessavo::test

// Reverse packet statistics: 0x127E (single carrier) and 0x129F (multi-carrier).
//
// Entry 4 of a group counts 1024-bit packets; {w4, w5} = {good, all}. With {90, 100} the bits
// of packets not good are X = 10 x 1024 = 10240.
#include "decoders/evdo/reverse_packet_stats.h"

#include <gtest/gtest.h>

#include "unit/decoders/evdo/packet_stats_payloads.h"

namespace tessavo::test {
namespace {

Entries Entry4(uint32_t good, uint32_t all) {
    return {{{0, 4}, {good, all}}};
}

TEST(SingleCarrierReverseStats, ShareBitGrowthAndRate) {
    RecordHarness h;
    RunSteps(h, 0x127E, {HandleReverseStatsParams127E, HandleReverseStatsStruct127E},
             {
                 {Payload127E(1, 1000, Entry4(90, 100)), {}},  // primes the history
                 // 90 good of 100 new; 10240 more bits; 20480 / 1000.
                 {Payload127E(1, 1000, Entry4(180, 200)),
                  {0x7F018204, 20, 0x7F018207, 9000, 0x7F018205, 10240}},
                 // Version 0 has no duration word.
                 {Payload127E(0, 0, Entry4(200, 250)), {0x7F018207, 4000, 0x7F018205, 30720}},
                 // 100 good of 50 new: held at 100 %; the bits fell: 0.
                 {Payload127E(0, 0, Entry4(300, 300)), {0x7F018207, 10000, 0x7F018205, 0}},
             });
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107E6});
    h.Log(0x127E, Payload127E(2, 0, Entry4(400, 500)),
          {HandleReverseStatsParams127E, HandleReverseStatsStruct127E});
    EXPECT_TRUE(h.Current().empty());  // unknown version: not read
    EXPECT_TRUE(h.CurrentStructs().empty());
}

TEST(MultiCarrierReverseStats, PerCarrierValuesAndSums) {
    Bytes shortPacket = Payload129F(3000, 1, 0, Entry4(500, 600));
    shortPacket.resize(100);
    RecordHarness h;
    h.Ctx().carrierMode = 2;
    RunSteps(
        h, 0x129F, {HandleReverseStatsParams129F, HandleReverseStatsStruct129F},
        {
            {Payload129F(1000, 2, 0, Entry4(90, 100)), {}},
            {Payload129F(1000, 2, 1, Entry4(45, 50)), {0x7F018205, 0, 0x7F018207, 0}},
            // 90 of 100 new packets good; 10240 bits in 500 time units.
            {Payload129F(1500, 2, 0, Entry4(180, 200)), {0x7F019307, 9000, 0x7F019305, 20}},
            // A repeat of carrier 1's time: only the sums, from the stored values.
            {Payload129F(1000, 2, 1, Entry4(45, 50)), {0x7F018205, 20, 0x7F018207, 9000}},
            // Carrier 1's bits fell (counter restart): primed again without output.
            {Payload129F(2000, 2, 1, Entry4(45, 45)), {0x7F018205, 20, 0x7F018207, 9000}},
            // 45 of 55 new good (81.82 %); 10240 bits in 500. Sums: 20 + 20, (9000 + 8181.8) / 2.
            {Payload129F(2500, 2, 1, Entry4(90, 100)),
             {0x7F01A307, 8181, 0x7F01A305, 20, 0x7F018205, 40, 0x7F018207, 8590}},
            // Carrier index 3 has no history; as the last of four it still publishes the sums.
            {Payload129F(3000, 4, 3, Entry4(900, 1000)), {0x7F018205, 40, 0x7F018207, 8590}},
            {shortPacket, {0x7F018205, 40, 0x7F018207, 8590}},  // block cut: nothing computed
            {Payload129F(0, 2, 0, Entry4(900, 1000)), {}},      // time 0: nothing computed
        });
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107F1});
}

// Group 0 entries 4 ({90, 100}) and 5 ({7, 7}); group 2 entry 16 (size class 4, {1, 3}).
TEST(ReverseStatsBlobs, GroupsSumsAndRatios) {
    const Entries entries = {{{0, 4}, {90, 100}}, {{0, 5}, {7, 7}}, {{2, 16}, {1, 3}}};
    using Words = std::vector<uint32_t>;
    RecordHarness h;
    h.Log(0x127E, Payload127E(0, 0, entries), {HandleReverseStatsStruct127E});
    const uint32_t e6 = 0x7F0107E6;
    EXPECT_EQ(h.StructWords(e6, 112, 2), (Words{90, 100}));              // group 0, entry 4
    EXPECT_EQ(h.StructWords(e6, 1552, 2), (Words{1, 3}));                // group 2, entry 16
    EXPECT_EQ(h.StructWords(e6, 1840, 2), (Words{90, 100}));             // sums, position 4
    EXPECT_EQ(h.StructWords(e6, 2128, 2), (Words{1, 3}));                // sums, position 16
    EXPECT_EQ(h.StructWords(e6, 2304, 6), (Words{0, 0, 0, 0, 103, 7}));  // all, per size class
    EXPECT_EQ(h.StructAt<double>(e6, 2352 + 8 * 4), 0.0);  // 91 / 103 as an integer quotient
    EXPECT_EQ(h.StructAt<double>(e6, 2352 + 8 * 5), 1.0);
    EXPECT_EQ(h.StructAt<double>(e6, 2352), 0.0);  // no packets of the class
    EXPECT_EQ(h.StructWords(e6, 2448, 6), (Words{107, 0, 3, 0xAAAA0000, 0xAAAA0001, 0xAAAA0002}));

    h.Log(0x129F, Payload129F(5, 1, 1, entries, 0xACD2), {HandleReverseStatsStruct129F});
    const uint32_t f1 = 0x7F0107F1;
    EXPECT_EQ(h.StructWords(f1, 0, 3), (Words{1234, 1, 21}));
    EXPECT_EQ(h.StructWords(f1, 12 + 112, 2), (Words{90, 100}));
    EXPECT_EQ(h.StructWords(f1, 12 + 2128, 2), (Words{1, 3}));
    EXPECT_EQ(h.StructBytes(f1, 2316, 156), Bytes(156, 0));
    EXPECT_EQ(h.StructWords(f1, 2472, 3), (Words{0xAAAA0000, 0xAAAA0001, 0xAAAA0002}));
}

}  // namespace
}  // namespace tessavo::test

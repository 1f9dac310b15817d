// Packet statistics: forward 0x12A2 (multi-carrier), 0x1192 and 0x1193; reverse 0x127E and
// 0x129F; their alternate-range forms 0x927E, 0x9192 and 0x9193; the carrier mode (0x128A) that
// switches between the single- and multi-carrier handlers; message-code refinement.
//
// Worked forward values (rates in bit/s with the 1024/1000 factor):
// - 1000 packets of 1024 bits over T = 1000: 1024 bits per unit -> over time 1048.576.
// - Over slots for packets of 1024 bits: 1024 x float(1024 / 1.67) = 627889.8125.
// - 8000 packets of 128 bits: over slots 1024 x float(128 / 1.67) = 78486.2265625.
// - 2000 more 1024-bit packets in 1000 units: since last 1024 x 2048 / 1000 = 2097.152;
//   with 500 new B packets the B share is 500 / 2500 = 20 %.
// Reverse: entry 4 of a group counts 1024-bit packets; {w4, w5} = {good, all}. With {90, 100}
// the bits of packets not good are X = 10 x 1024 = 10240.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <tuple>

#include "decoders/evdo/forward_packet_stats.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

// Counter number -> value; counters not named are 0.
using Counters = std::map<int, uint32_t>;
const Counters kFirst = {{3, 1000}};             // 1000 A packets of 1024 bits
const Counters kSecond = {{3, 3000}, {4, 500}};  // 2000 more, and 500 B packets

// `size` bytes where byte i holds i & 0xFF (so a carried byte shows where it came from), then
// T at 0 when `time` is set, and `n` counters as little-endian words from `at`.
Bytes Numbered(size_t size, size_t at, size_t n, const Counters& counters, const uint32_t* time) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) b[i] = static_cast<uint8_t>(i);
    for (size_t k = 0; k < n; ++k) {
        const auto it = counters.find(static_cast<int>(k));
        StoreLE(b.data() + at + 4 * k, it == counters.end() ? 0u : it->second);
    }
    if (time) StoreLE(b.data(), *time);
    return b;
}
// 0x12A2 and 0x129F share the header: first byte, T, carrier count, carrier index, channel word.
Bytes Header(uint32_t time, uint8_t count, uint8_t index, uint16_t word) {
    return Concat({{0x5A}, Le<uint32_t>({time}), {count, index}, U16s({word})});
}
// 0x12A2: the header and the 1285-byte table with the 56 counters first (payload byte p holds
// p & 0xFF beyond them).
Bytes P12A2(uint32_t time, uint8_t count, uint8_t index, const Counters& c, uint16_t word = 0) {
    Bytes b = Numbered(9 + 1285, 9, 56, c, nullptr);
    const Bytes head = Header(time, count, index, word);
    std::copy(head.begin(), head.end(), b.begin());
    return b;
}
// 0x1192: T, the 56 counters and the further words (1288 bytes); 0x1193: T, then the 13
// counters (A128, A256, A512, A1024, B1024, ...) and the arrays (160 bytes).
const auto P1192 = [](uint32_t time, const Counters& c) { return Numbered(1288, 4, 56, c, &time); };
const auto P1193 = [](uint32_t time, const Counters& c) { return Numbered(160, 4, 13, c, &time); };

// The reverse-link block: 3 groups of 24 entries of six words and a trailing word. Keys are
// {group, entry}; values {w4, w5} (the other words 0). Trailing word of group g: 0xAAAA0000 + g.
using Entries = std::map<std::pair<int, int>, std::pair<uint32_t, uint32_t>>;
Bytes ReverseBlock(const Entries& entries) {
    Bytes b(1740, 0);
    for (int g = 0; g < 3; ++g) StoreLE(b.data() + 580 * g + 576, 0xAAAA0000u + g);
    for (const auto& [at, words] : entries) {
        uint8_t* e = b.data() + 580 * at.first + 24 * at.second;
        StoreLE(e + 16, words.first);
        StoreLE(e + 20, words.second);
    }
    return b;
}
const auto E4 = [](uint32_t good, uint32_t all) -> Entries { return {{{0, 4}, {good, all}}}; };
Bytes P127E(uint8_t version, uint32_t duration, const Entries& e) {
    return Concat({{version}, version == 1 ? Le<uint32_t>({duration}) : Bytes{}, ReverseBlock(e)});
}
Bytes P129F(uint32_t time, uint8_t count, uint8_t index, const Entries& e, uint16_t word = 0) {
    return Concat({Header(time, count, index, word), ReverseBlock(e)});
}

// 0x128A: version, selector, then 65-byte entries {id, mode code}.
Bytes P128A(uint8_t version, uint16_t selector,
            const std::vector<std::pair<uint8_t, uint16_t>>& entries) {
    Bytes b = Concat({{version}, U16s({selector}), {static_cast<uint8_t>(entries.size())}});
    for (const auto& [id, mode] : entries)
        b = Concat({b, {id}, Bytes(8, 0xEE), U16s({mode}), Bytes(54, 0xEE)});
    return b;
}

// The alternate-range summed form: T, A count, 64-bit A bit sum, B count, a filler word.
Bytes Summed(uint32_t time, uint32_t countA, uint64_t bitsA, uint32_t countB) {
    return Concat({Le<uint32_t>({time, countA}), Le<uint64_t>({bitsA}), Le<uint32_t>({countB}),
                   Le<uint64_t>({0x0102030405060708})});
}
// 0x927E: a (good), b (all), a filler, d (bits of packets not good).
Bytes Counts927E(uint32_t a, uint32_t b, uint32_t d) {
    return Le<uint32_t>({a, b, 7, d});
}

// clang-format off
TEST(ForwardStats, MultiCarrierRatesAndSumsOverTheSet) {
    // Sums over the set after carrier 0 restarted (34.816 over time) next to carrier 1.
    const std::vector<int64_t> sums = {
        0x7F019302, -3040, 0x7F018402, 0, 0x7F018202, 0, 0x7F019303, 627889, 0x7F01A303, 78486,
        0x7F018403, 706376, 0x7F018203, 706376, 0x7F019301, 34, 0x7F01A301, 1048, 0x7F018401, 1083,
        0x7F018201, 1083, 0x7F018407, 0, 0x7F018206, 0};
    std::vector<int64_t> restart = {0x7F019408, INT32_MIN, 0x7F019403, -3040, 0x7F019404, 627889,
                                    0x7F019402, 34};
    restart.insert(restart.end(), sums.begin(), sums.end());
    RecordHarness h;
    h.Steps({
        // Carrier 0 of 2: primes its history, no sums yet.
        {0x12A2, P12A2(1000, 2, 0, kFirst), {0x7F019404, 627889, 0x7F019402, 1048}, 2},
        // Carrier 1, the last of the set: sums over the carriers' stored rates.
        {0x12A2, P12A2(1000, 2, 1, {{0, 8000}}),
         {0x7F01A404, 78486, 0x7F01A402, 1048, 0x7F019303, 627889, 0x7F01A303, 78486, 0x7F018403, 706376,
          0x7F018203, 706376, 0x7F019301, 1048, 0x7F01A301, 1048, 0x7F018401, 2097, 0x7F018201, 2097}},
        {0x12A2, P12A2(2000, 2, 0, kSecond),
         {0x7F019408, 2000, 0x7F019403, 2097, 0x7F019404, 627889, 0x7F019402, 1572}},
        // A repeat of carrier 1 brings no share and no since-last rate; its stored rates and
        // carrier 0's take part in the sums. Over time: 1572.864 + 1048.576.
        {0x12A2, P12A2(1000, 2, 1, {{0, 8000}}),
         {0x7F01A404, 78486, 0x7F01A402, 1048, 0x7F019302, 2097, 0x7F018402, 2097, 0x7F018202, 2097,
          0x7F019303, 627889, 0x7F01A303, 78486, 0x7F018403, 706376, 0x7F018203, 706376,
          0x7F019301, 1572, 0x7F01A301, 1048, 0x7F018401, 2621, 0x7F018201, 2621, 0x7F018407, 2000,
          0x7F018206, 2000}},
        // Counters restarted on carrier 0, now a set of one: 100 packets over T = 3000; since
        // last -2969 x 1.024 and a B share out of range. The sums clamp to 0.
        {0x12A2, P12A2(3000, 1, 0, {{3, 100}}), restart},
        // Carrier index 3 (of 4): no per-carrier values, the sums still run.
        {0x12A2, P12A2(4000, 4, 3, kSecond), sums},
    });
}

// Counter k holds 100 + k; byte p of the rest of the payload holds p & 0xFF.
TEST(ForwardStats, CounterGroupsAndCarriedBytes) {
    Counters numbered;
    for (int k = 0; k < 56; ++k) numbered[k] = 100 + static_cast<uint32_t>(k);
    RecordHarness h;  // carrier mode unknown: 0x12A2 publishes only its blob
    const uint32_t m = 0x7F0107EF, s = 0x7F0107E4;
    h.Steps({{0x12A2, P12A2(7, 1, 0xF3, numbered, 0xACD2), {}}});
    ASSERT_EQ(h.CurrentStructs(), Ids{m});
    h.ExpectWords(m, 0, {1234, 3, 21, 100, 101, 102, 103, 406, 104});
    h.ExpectWords(m, 232, {145, 145, 146});  // group 11: one A counter
    h.ExpectWords(m, 284, {154, 154, 155});  // group 15
    h.ExpectBytes(m, 296, {233, 234});
    h.ExpectBytes(m, 982, {919 & 0xFF, 920 & 0xFF, 0});
    h.ExpectBytes(m, 998, {0, 0, 937 & 0xFF});
    h.ExpectBytes(m, 1178, {1115 & 0xFF, 1116 & 0xFF, 1118 & 0xFF, 1119 & 0xFF});
    h.ExpectBytes(m, 1354, {1292 & 0xFF, 1293 & 0xFF});
    h.Routed(0x1192, P1192(7, numbered));
    ASSERT_EQ(h.CurrentStructs(), Ids{s});
    h.ExpectWords(s, 0, {100, 101, 102, 103, 406, 104});
    h.ExpectBytes(s, 284, {228, 229});
    h.ExpectBytes(s, 970, {914 & 0xFF, 915 & 0xFF, 0});
    h.ExpectBytes(s, 986, {0, 0, 932 & 0xFF});
    h.ExpectBytes(s, 1342, {1286 & 0xFF, 1287 & 0xFF});
    const Bytes payload = P1193(7, numbered);
    h.Routed(0x1193, payload);
    ASSERT_EQ(h.CurrentStructs(), Ids{0x7F0107E5});
    h.ExpectBytes(0x7F0107E5, 0, Bytes(payload.begin() + 4, payload.end()));
}

// 0x1192 across packets, with 0x1193 between them (0x1192's last values join its totals). The
// since-last value of 0x1193 is the bit growth itself: 2048000 x 1.024 = 2097152.
TEST(ForwardStats, SingleCarrierRatesAndSecondTableTotals) {
    RecordHarness alone;  // no single-carrier values: the totals are its own
    alone.Steps({{0x1193, P1193(1000, kFirst), {0x7F018404, 1048, 0x7F018406, 627889, 0x7F018201, 1048, 0x7F018203, 627889}}});
    RecordHarness h;
    h.Steps({
        {0x1192, P1192(1000, kFirst), {0x7F018401, 1048, 0x7F018403, 627889}},
        {0x1192, P1192(2000, kSecond), {0x7F018401, 1572, 0x7F018402, 2097, 0x7F018403, 627889, 0x7F018407, 2000}},
        // 1048.576 + 1572.864; 2 x 627889.8125; the share of 0x1192 alone.
        {0x1193, P1193(1000, kFirst),
         {0x7F018404, 1048, 0x7F018406, 627889, 0x7F018201, 2621, 0x7F018202, 2097, 0x7F018203, 1255779,
          0x7F018206, 2000, 0x7F018208, 500, 0x7F018209, 2500}},
        // 2097152 + 2097.152; (500 + 500) B of (2500 + 2500) packets.
        {0x1193, P1193(2000, kSecond),
         {0x7F018404, 1572, 0x7F018406, 627889, 0x7F018405, 2097152, 0x7F018408, 2000, 0x7F018201, 3145,
          0x7F018202, 2099249, 0x7F018203, 1255779, 0x7F018206, 2000, 0x7F018208, 1000, 0x7F018209, 5000}},
        // Not later than the last packet: primes the history again (4096000 bits).
        {0x1192, P1192(2000, {{3, 4000}, {4, 500}}), {0x7F018401, 2097, 0x7F018403, 627889}},
        // B counter restarted: the share is held at 100 %.
        {0x1192, P1192(3000, {{3, 5000}, {4, 100}}),
         {0x7F018401, 1746, 0x7F018402, 1048, 0x7F018403, 627889, 0x7F018407, 10000}},
    });
    EXPECT_EQ(h.Ctx().flag1068And1192, 1);
    // The 32-bit bit sum wraps between two packets: 4194000 and 4196000 packets of 1024 bits.
    // The growth is 2048000 bits modulo 2^32; over time and over slots see the wrapped sum
    // (1736704 bits).
    RecordHarness w;
    w.Steps({
        {0x1192, P1192(2000000, {{3, 4194000}}), {0x7F018401, 2198, 0x7F018403, 627889}},
        {0x1192, P1192(2001000, {{3, 4196000}}), {0x7F018401, 0, 0x7F018402, 2097, 0x7F018403, 253, 0x7F018407, 0}},
    });
    // A sum wider than 32 bits in the history (from the summed form of the alternate range)
    // that the new sum falls below gives no since-last rate.
    uint64_t growth = 0;
    EXPECT_FALSE(BitSumGrowth(100, 5000000000, growth));
    EXPECT_TRUE(BitSumGrowth(5000000010, 5000000000, growth));
    EXPECT_EQ(growth, 10u);
}

TEST(ReverseStats, SingleCarrierShareBitGrowthAndRate) {
    RecordHarness h;
    h.Steps({
        {0x127E, P127E(1, 1000, E4(90, 100)), {}},  // primes the history
        // 90 good of 100 new; 10240 more bits; 20480 / 1000.
        {0x127E, P127E(1, 1000, E4(180, 200)), {0x7F018204, 20, 0x7F018207, 9000, 0x7F018205, 10240}},
        // Version 0 has no duration word.
        {0x127E, P127E(0, 0, E4(200, 250)), {0x7F018207, 4000, 0x7F018205, 30720}},
        // 100 good of 50 new: held at 100 %; the bits fell: 0.
        {0x127E, P127E(0, 0, E4(300, 300)), {0x7F018207, 10000, 0x7F018205, 0}},
    });
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107E6});
    h.Steps({{0x127E, P127E(2, 0, E4(400, 500)), {}}});  // unknown version: not read
    EXPECT_TRUE(h.CurrentStructs().empty());
}

TEST(ReverseStats, MultiCarrierPerCarrierValuesAndSums) {
    Bytes shortPacket = P129F(3000, 1, 0, E4(500, 600));
    shortPacket.resize(100);
    RecordHarness h;
    h.Steps({
        {0x129F, P129F(1000, 2, 0, E4(90, 100)), {}, 2},
        {0x129F, P129F(1000, 2, 1, E4(45, 50)), {0x7F018205, 0, 0x7F018207, 0}},
        // 90 of 100 new packets good; 10240 bits in 500 time units.
        {0x129F, P129F(1500, 2, 0, E4(180, 200)), {0x7F019307, 9000, 0x7F019305, 20}},
        // A repeat of carrier 1's time: only the sums, from the stored values.
        {0x129F, P129F(1000, 2, 1, E4(45, 50)), {0x7F018205, 20, 0x7F018207, 9000}},
        // Carrier 1's bits fell (counter restart): primed again without output.
        {0x129F, P129F(2000, 2, 1, E4(45, 45)), {0x7F018205, 20, 0x7F018207, 9000}},
        // 45 of 55 new good (81.82 %); 10240 bits in 500. Sums: 20 + 20, (9000 + 8181.8) / 2.
        {0x129F, P129F(2500, 2, 1, E4(90, 100)), {0x7F01A307, 8181, 0x7F01A305, 20, 0x7F018205, 40, 0x7F018207, 8590}},
        // Carrier index 3 has no history; as the last of four it still publishes the sums.
        {0x129F, P129F(3000, 4, 3, E4(900, 1000)), {0x7F018205, 40, 0x7F018207, 8590}},
        {0x129F, shortPacket, {0x7F018205, 40, 0x7F018207, 8590}},  // block cut: nothing computed
        {0x129F, P129F(0, 2, 0, E4(900, 1000)), {}},                // time 0: nothing computed
    });
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107F1});
}

// Group 0 entries 4 ({90, 100}) and 5 ({7, 7}); group 2 entry 16 (size class 4, {1, 3}).
TEST(ReverseStats, BlobGroupsSumsAndRatios) {
    const Entries entries = {{{0, 4}, {90, 100}}, {{0, 5}, {7, 7}}, {{2, 16}, {1, 3}}};
    RecordHarness h;
    const uint32_t e6 = 0x7F0107E6, f1 = 0x7F0107F1;
    h.Routed(0x127E, P127E(0, 0, entries));
    h.ExpectWords(e6, 112, {90, 100});              // group 0, entry 4
    h.ExpectWords(e6, 1552, {1, 3});                // group 2, entry 16
    h.ExpectWords(e6, 1840, {90, 100});             // sums, position 4
    h.ExpectWords(e6, 2128, {1, 3});                // sums, position 16
    h.ExpectWords(e6, 2304, {0, 0, 0, 0, 103, 7});  // all, per size class
    // Good share per size class: class 4 91 / 103 as an integer quotient, class 5 7 / 7, class 0 none.
    EXPECT_EQ(std::tuple(h.StructAt<double>(e6, 2352 + 8 * 4), h.StructAt<double>(e6, 2352 + 8 * 5), h.StructAt<double>(e6, 2352)),
              std::tuple(0.0, 1.0, 0.0));
    h.ExpectWords(e6, 2448, {107, 0, 3, 0xAAAA0000, 0xAAAA0001, 0xAAAA0002});
    h.Routed(0x129F, P129F(5, 1, 1, entries, 0xACD2));
    h.ExpectWords(f1, 0, {1234, 1, 21});
    h.ExpectWords(f1, 12 + 112, {90, 100});
    h.ExpectWords(f1, 12 + 2128, {1, 3});
    h.ExpectBytes(f1, 2316, Bytes(156, 0));
    h.ExpectWords(f1, 2472, {0xAAAA0000, 0xAAAA0001, 0xAAAA0002});
}

// 0x127E and 0x927E continue one history: a is the good count, b all packets, d the bits of
// packets not good.
TEST(AlternateRange, ReverseCountsShareTheSingleCarrierHistory) {
    RecordHarness h;
    h.Steps({
        {0x927E, Counts927E(90, 100, 10240), {}, 1},  // the first packet primes
        // 90 good of 100 new; 20 x 1024 - 10240 more bits.
        {0x127E, P127E(0, 0, E4(180, 200)), {0x7F018207, 9000, 0x7F018205, 10240}},
        // a grew by 5 of 200 new packets: 2.5 %; d by 5000. Then b unchanged; then d fell.
        {0x927E, Counts927E(185, 400, 25480), {0x7F018207, 250, 0x7F018205, 5000}},
        {0x927E, Counts927E(185, 400, 26480), {0x7F018205, 1000}},
        {0x927E, Counts927E(185, 500, 6240), {0x7F018207, 0, 0x7F018205, 0}},
        {0x927E, Counts927E(1, 2, 3), {}, 2},  // multi-carrier: history untouched
        // 100 good of 100 new; 315 x 1024 - 6240 bits; 322560 / 1000.
        {0x127E, P127E(1, 1000, E4(285, 600)), {0x7F018204, 322, 0x7F018207, 10000, 0x7F018205, 316320}, 1},
    });
}

// 0x1192 and 0x9192 continue the single-carrier history; 0x9193 and 0x1193 the second one,
// with totals over the last single-carrier values. 1024-bit packets throughout; over-slots
// rates of 1024 x float(bits per packet / 1.67).
TEST(AlternateRange, SummedForwardStatsShareHistoryAndTotals) {
    RecordHarness h;
    h.Steps({
        {0x1192, P1192(1000, {{3, 1000}}), {0x7F018401, 1048, 0x7F018403, 627889}, 1},
        // 2000 new A packets (2048000 bits) and 500 new B in 1000 units.
        {0x9192, Summed(2000, 3000, 3072000, 500),
         {0x7F018401, 1572, 0x7F018402, 2097, 0x7F018403, 627889, 0x7F018407, 2000}},
        // A sum above 2^32: 5e9 / 3000 = 1666666 per unit; 4996928000 bits in 1000 units;
        // 5e9 / 5177 per packet; 100 new B of 200.
        {0x9192, Summed(3000, 3100, 5000000000, 600),
         {0x7F018401, 1706666, 0x7F018402, 5116854, 0x7F018403, 988989760, 0x7F018407, 5000}},
        {0x9192, Summed(3500, 1, 1, 1), {}, 2},
        {0x9193, Summed(3500, 1, 1, 1), {}},
        // The wide sum fell: no since-last rate. 1e6 / 5010 per packet; A fell by 100 and B
        // grew by 200: a share of 200 %, not held at 100 as 0x1192's.
        {0x9192, Summed(4000, 3000, 1000000, 800), {0x7F018401, 256, 0x7F018403, 204391, 0x7F018407, 20000}, 1},
        // A count above 2^31: nothing published, and the last share is dropped.
        {0x9192, Summed(5000, 0x80000001, 1, 1), {}},
        // T = 0 primes the second history: no own over-time rate; totals from 0x9192's last
        // values (256, 5116854.5, 204391.22 + 627889.81) and no share.
        {0x9193, Summed(0, 1000, 1024000, 0),
         {0x7F018406, 627889, 0x7F018201, 256, 0x7F018202, 5116854, 0x7F018203, 832281}},
        // 0x1193 continues: 2000 new A, 500 new B; since last 2048000 x 1.024, not divided
        // by the time; totals 1572.86 + 256 and 2097152 + 5116854.5.
        {0x1193, P1193(2000, kSecond),
         {0x7F018404, 1572, 0x7F018406, 627889, 0x7F018405, 2097152, 0x7F018408, 2000, 0x7F018201, 1828,
          0x7F018202, 7214006, 0x7F018203, 832281, 0x7F018206, 2000, 0x7F018208, 500, 0x7F018209, 2500}},
    });
}

TEST(CarrierMode, MatchingEntriesSetTheModeAndItIsPublishedWhenKnown) {
    const std::pair<Bytes, int32_t> cases[] = {  // payload, mode (published when known)
        {P128A(0, 5, {{3, 4}, {5, 4}}), 2},
        {P128A(0, 5, {{5, 0}, {5, 2}}), 0},   // the last match wins
        {P128A(1, 5, {{5, 4}}), 0},           // other versions are not read
        {P128A(0, 5, {{6, 4}}), 0},
        {P128A(0, 5, {{5, 7}}), kNoValue},    // a code without a mode: unknown again
        {P128A(0, 0x105, {{5, 4}}), kNoValue},  // the 8-bit id never matches
        {P128A(0, 5, {{5, 3}}), 1},
    };
    RecordHarness h;
    for (const auto& [payload, mode] : cases) {
        h.Steps({{0x128A, payload, mode == kNoValue ? std::vector<int64_t>{} : std::vector<int64_t>{0x7F01830A, mode}}});
        EXPECT_EQ(h.Ctx().carrierMode, mode);
    }
}

TEST(MessageCodeRefinement, AddsTheFirstTwoPayloadBytes) {
    const std::tuple<uint16_t, Bytes, uint32_t, uint32_t> cases[] = {  // code, payload, before, after
        {0x11E9, {0x01, 0x02, 0x7E}, 0xB10111E9, 0xB10112EB},
        {0x11EA, {0xFF, 0xFF}, 0xFFFF0000, 0xFFFFFFFF},
        {0x11EA, {0x01, 0x00}, 0xFFFFFF00, 0x00000000},  // wraps at 32 bits
        {0x11E9, {0x03}, 0x100, 0x400},                  // nothing beyond the payload
    };
    for (const auto& [code, payload, before, after] : cases) {
        RecordHarness h;
        h.Steps({{code, payload, {}, kKeepMode, 0, before}});
        EXPECT_EQ(h.Ctx().item.msgCode, after);
    }
}

// The same kinds of packet before the first 0x128A, in multi-carrier mode and back in
// single-carrier mode: only the handlers of the current mode publish.
TEST(CarrierMode, SwitchesTheHandlersBothWays) {
    const Bytes rev2 = P127E(1, 1000, E4(180, 200)), fwd2 = P1192(2000, kSecond);
    const std::tuple<uint16_t, Bytes, Ids, Ids> rows[] = {  // code, payload, current, structures
        {0x1192, P1192(1000, kFirst), {0x7F018401, 0x7F018403}, {0x7F0107E4}},
        {0x12A2, P12A2(1000, 1, 0, kFirst), {}, {0x7F0107EF}},
        {0x127E, P127E(1, 1000, E4(90, 100)), {}, {0x7F0107E6}},
        {0x129F, P129F(1000, 1, 0, E4(90, 100)), {}, {0x7F0107F1}},
        {0x128A, P128A(0, 1, {{1, 4}}), {0x7F01830A}, {}},
        {0x1192, fwd2, {}, {}},
        {0x1193, P1193(1000, kFirst), {}, {}},
        {0x127E, rev2, {}, {}},
        // The carrier's history was primed by the structured run before the switch.
        {0x12A2, P12A2(2000, 1, 0, kSecond),
         {0x7F019408, 0x7F019403, 0x7F019404, 0x7F019402, 0x7F019302, 0x7F018402, 0x7F018202, 0x7F019303,
          0x7F018403, 0x7F018203, 0x7F019301, 0x7F018401, 0x7F018201, 0x7F018407, 0x7F018206},
         {0x7F0107EF}},
        // Its structured run computes nothing: this first scalar run only primes the carrier.
        {0x129F, P129F(1500, 1, 0, E4(180, 200)), {0x7F018205, 0x7F018207}, {0x7F0107F1}},
        {0x128A, P128A(0, 1, {{1, 0}}), {0x7F01830A}, {}},
        {0x12A2, P12A2(3000, 1, 0, {{3, 4000}}), {}, {0x7F0107EF}},
        {0x129F, P129F(2000, 1, 0, {}), {}, {0x7F0107F1}},
        {0x1192, fwd2, {0x7F018401, 0x7F018402, 0x7F018403, 0x7F018407}, {0x7F0107E4}},
        {0x127E, rev2, {0x7F018204, 0x7F018207, 0x7F018205}, {0x7F0107E6}},
    };
    RecordHarness h;
    for (const auto& [code, payload, current, structs] : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << code << " in mode " << std::dec << h.Ctx().carrierMode);
        h.Routed(code, payload);
        EXPECT_EQ(h.Current(), current);
        EXPECT_EQ(h.CurrentStructs(), structs);
    }
}

}  // namespace
}  // namespace tessavo::test

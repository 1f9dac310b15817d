// Data throughput, log code 0x1070: long-term and instantaneous rates over packets.
#include "decoders/evdo/data_throughput.h"

#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

constexpr uint64_t kSecond = 800;  // ticks of 1.25 ms

struct Fields1070 {
    uint8_t instance = 0;
    uint64_t resetTicks = 90 * kSecond;
    uint64_t c25 = 0, c33 = 0, c49 = 0, c65 = 0, c81 = 0;
};

class DataThroughput : public ::testing::Test {
  protected:
    // The 137-byte record; the summary floats at 109 onward hold a value the decoder must not
    // take over.
    void Send(const Fields1070& r, uint64_t seconds, uint64_t extraTicks = 0) {
        Bytes p(137, 0);
        p[0] = r.instance;
        StoreLE(p.data() + 1, StampFromTicks(r.resetTicks));
        const std::pair<size_t, uint64_t> counters[] = {
            {25, r.c25}, {33, r.c33}, {49, r.c49}, {65, r.c65}, {81, r.c81}};
        for (auto [at, v] : counters) StoreLE(p.data() + at, v);
        for (size_t off = 109; off < 137; off += 4) StoreLE(p.data() + off, 123.0f);
        h.Log(0x1070, p, {HandleDataThroughput}, 0, seconds * kSecond + extraTicks);
    }
    RecordHarness h;
};

TEST_F(DataThroughput, TwoPacketsOneSecondApart) {
    // 100 s, reset at 90 s: long-term rate of C49 = 1024 x (5000 x 8 / 10) / 1000 = 4096;
    // the ratios of C33 and C25 over the growth of C49 are 0.
    Send({.c49 = 5000}, 100);
    h.ExpectCurrent({{0x7F018101, 4096}, {0x7F018106, 0}, {0x7F018105, 0}});
    // 101 s: long-term C49: 1024 x (6000 x 8 / 11) / 1000 = 4468.4; C33 +300 and C25 +500 of
    // C49 +1000: 30 % and 50 %; C81: 1024 x (2000 x 8 / 11) / 1000 = 1489.5; C65 +100 of
    // C81 +2000: 5 %. Instantaneous over 1 s: C49 +1000 -> 8192, C81 +2000 -> 16384.
    Send({.c25 = 500, .c33 = 300, .c49 = 6000, .c65 = 100, .c81 = 2000}, 101);
    h.ExpectCurrent({{0x7F018101, 4468},
                     {0x7F018102, 8192},
                     {0x7F018106, 3000},
                     {0x7F018105, 5000},
                     {0x7F018103, 1489},
                     {0x7F018104, 16384},
                     {0x7F018107, 500}});
}

TEST_F(DataThroughput, SameSecondGivesNoInstantaneousRate) {
    Send({.c49 = 1000}, 100);
    Send({.c49 = 2000}, 100, 400);  // 100.5 s
    EXPECT_EQ(h.Current(), (Ids{0x7F018101, 0x7F018106, 0x7F018105}));
}

TEST_F(DataThroughput, InstanceZeroReportsTheSumOverBothPlaces) {
    Send({.c49 = 1000}, 100);
    Send({.instance = 1, .c49 = 1000}, 100);
    Send({.instance = 3, .c49 = 3000}, 101);  // bit 0 selects instance 1
    EXPECT_TRUE(h.Current().empty());         // instance 1 alone writes nothing
    // Instantaneous: place 0 +1000 bytes (8192) plus place 1 +2000 bytes (16384).
    // Long-term over 11 s since the reset: place 0 2000 bytes (1489.45), place 1 3000 bytes
    // (2234.18): 3723.6.
    Send({.c49 = 2000}, 101);
    EXPECT_EQ(h.Value(0x7F018102), 24576);
    EXPECT_EQ(h.Value(0x7F018101), 3723);
}

TEST_F(DataThroughput, BackwardCounterStillBecomesThePreviousValue) {
    Send({.c49 = 6000}, 100);
    Send({.c49 = 5500}, 101);
    EXPECT_EQ(h.Current(), (Ids{0x7F018101}));  // no instantaneous rate, no ratio
    Send({.c49 = 6500}, 102);
    EXPECT_EQ(h.Value(0x7F018102), 8192);  // 1000 bytes over 1 s since 5500
}

TEST_F(DataThroughput, RatesAreClampedToTheirMaxima) {
    Send({.c49 = 1000, .c81 = 1000}, 100);
    Send({.c49 = 2001000, .c81 = 2001000}, 101);  // 16 384 000 bit/s on either link
    EXPECT_EQ(h.Value(0x7F018102), 14700000);
    EXPECT_EQ(h.Value(0x7F018104), 5670000);
}

TEST_F(DataThroughput, NewResetTimeStartsTheRatiosAfresh) {
    Send({.c33 = 100, .c49 = 1000}, 100);
    // Reset at 100 s: the counters restart and are compared with zero, not with the old ones.
    Send({.resetTicks = 100 * kSecond, .c33 = 50, .c49 = 200}, 102);
    EXPECT_EQ(h.Value(0x7F018106), 2500);  // 50 x 100 / 200
    EXPECT_EQ(h.Value(0x7F018101), 819);   // 1024 x (200 x 8 / 2) / 1000 = 819.2
}

}  // namespace
}  // namespace tessavo::test

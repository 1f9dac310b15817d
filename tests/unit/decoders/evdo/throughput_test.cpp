// Throughput logs: per-flow history and sums (0x1276, 0x1275, 0x12A5) and the data throughput
// record 0x1070 (long-term and instantaneous rates over packets).
#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

const auto Ticks = [](double seconds) -> uint64_t { return TicksFromMs(seconds * 1000.0); };
// 0x1276 (0x1275: without the last word): flow, start stamp, counter N at 22, bytes B at 38.
Bytes Flow1276(uint8_t flow, double startSeconds, uint64_t count, uint64_t bytes,
               size_t size = 66) {
    Bytes p = Concat({Bytes{0xC0, flow}, Le<uint64_t>({StampFromTicks(Ticks(startSeconds))}),
                      Le<uint32_t>({0x0A0B0C0D}), Le<uint64_t>({14, count, 30, bytes}),
                      Le<uint32_t>({46, 50, 54, 58, 62})});
    p.resize(size);
    return p;
}
// 0x12A5: the index word (flow in bits 0-4, skip flag bit 5), start stamp at 5, N at 45, B at 61.
Bytes Flow12A5(uint16_t indexWord, double startSeconds, uint64_t count, uint64_t bytes) {
    const uint64_t start = StampFromTicks(Ticks(startSeconds));
    return Concat({Bytes{0xC5},
                   U16s({indexWord}),
                   {3, 4},
                   Le<uint64_t>({start, 0, 0, 0, 0, count, 0, bytes}),
                   Zeros(40 + 49)});
}

// clang-format off
TEST(FlowThroughput, RoundsOfFlowsAcrossPacketsAndMultiCarrierFlows) {
    RecordHarness h;
    h.Steps({
        // Flow 0 starts at 1000 s; at 1002 s 250000 bytes: 1000000 bit/s x 1.024 = 1024000;
        // N / B = 1000 / 250000: 0.4 %. No interval yet.
        {0x1276, Flow1276(0, 1000, 1000, 250000), {0x7F018101, 1024000, 0x7F018106, 40}, 1, Ticks(1002)},
        // Flow 1 reports alone: 125000 bytes in 2 s, 512000; share 0. Nothing published.
        {0x1276, Flow1276(1, 1001, 0, 125000), {}, 1, Ticks(1003)},
        // Flow 0 again: 500000 bytes in 6 s, 666666.69 x 1.024 = 682666.69, plus flow 1's 512000;
        // share (3500 - 1000) / (500000 - 250000) = 1 %, averaged with flow 1's 0; interval
        // 250000 bytes in 4 s = 512000 (0x1276 lists it before the share).
        {0x1276, Flow1276(0, 1000, 3500, 500000), {0x7F018101, 1194666, 0x7F018102, 512000, 0x7F018106, 50}, 2, Ticks(1006)},
        // A start stamp in another second restarts the counting: 1000 bytes in 2 s, 4096; share
        // 10 / 1000. The byte counter went down: no interval rate.
        {0x1276, Flow1276(0, 1010, 10, 1000), {0x7F018101, 4096, 0x7F018106, 100}, 1, Ticks(1012)},
        // The reverse link keeps its own history: 1000 bytes in 1 s, 8192; then 1001000 bytes in
        // 2 s, 4100096, and 1000000 bytes in the last second, 8192000, clamped to 5670000.
        {0x1275, Flow1276(0, 1019, 0, 1000, 62), {0x7F018103, 8192, 0x7F018107, 0}, 1, Ticks(1020)},
        {0x1275, Flow1276(0, 1019, 0, 1001000, 62), {0x7F018103, 4100096, 0x7F018107, 0, 0x7F018104, 5670000}, 1, Ticks(1021)},
        // Bytes that did not grow: no share, an interval rate of 0. 1000 bytes in 3 s: 2730.67.
        {0x1276, Flow1276(0, 1010, 10, 1000), {0x7F018101, 2730, 0x7F018102, 0}, 1, Ticks(1013)},
    });
    // Its blob: flow, byte 0, payload 10 to 65, the start date as a day number.
    h.ExpectBytes(0x7F0107E7, 0, {0, 0xC0, 0x0D, 0x0C, 0x0B, 0x0A, 14});
    EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107E7, 58), 29226.0 + 1010.0 / 86400.0);

    // Multi-carrier flows publish in mode 2 only.
    // Index word 0xD6A0: flow 0, skip flag, bits 6-9 10, bits 10-13 5, bits 14 and 15 set.
    RecordHarness m;
    m.Steps({
        {0x12A5, Flow12A5(0xD6A0, 2000, 0, 500000), {}, 2, Ticks(2001)},
        {0x12A5, Flow12A5(0, 2000, 1000, 250000), {0x7F018101, 1024000, 0x7F018106, 40}, 2, Ticks(2002)},
        // Single carrier: nothing published, the history still moves (computed once, by the
        // structured handler): the next mode-2 packet counts from this one.
        {0x12A5, Flow12A5(0, 3000, 0, 1000), {}, 1, Ticks(3001)},
        {0x12A5, Flow12A5(0, 3000, 2500, 251000), {0x7F018101, 1028096, 0x7F018106, 100, 0x7F018102, 2048000}, 2, Ticks(3002)},
    });
    EXPECT_EQ(m.CurrentStructs(), Ids{0x7F0107F2});
    m.Routed(0x12A5, Flow12A5(0xD6A0, 2000, 0, 0));
    m.ExpectBytes(0x7F0107F2, 0, {0, 0, 1, 0, 10, 0, 5, 0, 1, 0, 1, 0, 3, 4});
    EXPECT_DOUBLE_EQ(m.StructAt<double>(0x7F0107F2, 14), 29226.0 + 2000.0 / 86400.0);
}

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
        h.Routed(0x1070, p, 0, seconds * kSecond + extraTicks);
    }
    RecordHarness h;
};

TEST_F(DataThroughput, TwoPacketsOneSecondApart) {
    // 100 s, reset at 90 s: long-term rate of C49 = 1024 x (5000 x 8 / 10) / 1000 = 4096; the
    // ratios of C33 and C25 over the growth of C49 are 0.
    Send({.c49 = 5000}, 100);
    h.ExpectCurrent({{0x7F018101, 4096}, {0x7F018106, 0}, {0x7F018105, 0}});
    // 101 s: long-term C49: 1024 x (6000 x 8 / 11) / 1000 = 4468.4; C33 +300 and C25 +500 of
    // C49 +1000: 30 % and 50 %; C81: 1024 x (2000 x 8 / 11) / 1000 = 1489.5; C65 +100 of
    // C81 +2000: 5 %. Instantaneous over 1 s: C49 +1000 -> 8192, C81 +2000 -> 16384.
    Send({.c25 = 500, .c33 = 300, .c49 = 6000, .c65 = 100, .c81 = 2000}, 101);
    h.ExpectCurrent(Pairs({0x7F018101, 4468, 0x7F018102, 8192, 0x7F018106, 3000, 0x7F018105, 5000,
                           0x7F018103, 1489, 0x7F018104, 16384, 0x7F018107, 500}));
}

TEST_F(DataThroughput, InstanceZeroReportsTheSumOverBothPlaces) {
    Send({.c49 = 1000}, 100);
    Send({.instance = 1, .c49 = 1000}, 100);
    Send({.instance = 3, .c49 = 3000}, 101);  // bit 0 selects instance 1
    EXPECT_TRUE(h.Current().empty());         // instance 1 alone writes nothing
    // Instantaneous: place 0 +1000 bytes (8192) plus place 1 +2000 bytes (16384). Long-term
    // over 11 s since the reset: place 0 2000 bytes (1489.45), place 1 3000 bytes (2234.18).
    Send({.c49 = 2000}, 101);
    EXPECT_EQ(h.Value(0x7F018102), 24576);
    EXPECT_EQ(h.Value(0x7F018101), 3723);
}

TEST_F(DataThroughput, SameSecondGivesNoInstantaneousRate) {
    Send({.c49 = 1000}, 100);
    Send({.c49 = 2000}, 100, 400);  // 100.5 s
    EXPECT_EQ(h.Current(), (Ids{0x7F018101, 0x7F018106, 0x7F018105}));
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

// Flow throughput logs 0x1276, 0x1275, 0x12A5 and 0x12A6: per-flow history and sums.
#include "decoders/evdo/flow_throughput.h"

#include <gtest/gtest.h>

#include <tuple>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

uint64_t Ticks(double seconds) {
    return TicksFromMs(seconds * 1000.0);
}
uint64_t Stamp(double seconds) {
    return StampFromTicks(Ticks(seconds));
}

// 0x1276 (and 0x1275 without the last word): flow, start stamp, counter N at 22, bytes B at 38.
Bytes Flow1276(uint8_t flow, double startSeconds, uint64_t count, uint64_t bytes) {
    Bytes p = {0xC0, flow};
    PutU64(p, Stamp(startSeconds));
    PutU32(p, 0x0A0B0C0D);
    PutU64(p, 14);
    PutU64(p, count);
    PutU64(p, 30);
    PutU64(p, bytes);
    for (uint32_t w : {46u, 50u, 54u, 58u, 62u}) PutU32(p, w);
    return p;
}

// 0x12A5: the index word (flow in bits 0-4, skip flag bit 5), start stamp at 5, N at 45, B at 61.
Bytes Flow12A5(uint16_t indexWord, double startSeconds, uint64_t count, uint64_t bytes) {
    Bytes p = Concat({{0xC5}, U16s({indexWord}), {3, 4}});
    for (int i = 0; i < 13; ++i) {
        PutU64(p, i == 0 ? Stamp(startSeconds) : i == 5 ? count : i == 7 ? bytes : 0);
    }
    return Concat({p, Zeros(49)});
}

Bytes Flow1275(uint8_t flow, double startSeconds, uint64_t count, uint64_t bytes) {
    Bytes p = Flow1276(flow, startSeconds, count, bytes);
    p.resize(62);
    return p;
}

struct Step {
    int32_t mode;
    uint16_t logCode;
    double now;  // packet time, seconds after the DIAG epoch
    Bytes payload;
    IdValues expected;
};

constexpr std::tuple<uint16_t, LogHandler, LogHandler> kHandlers[] = {
    {0x1276, HandleFlowParams1276, HandleFlowStruct1276},
    {0x1275, HandleFlowParams1275, HandleFlowStruct1275},
    {0x12A5, HandleFlowParams12A5, HandleFlowStruct12A5}};

void RunSteps(RecordHarness& h, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(i);
        const Step& s = steps[i];
        h.Ctx().carrierMode = s.mode;
        for (const auto& [code, params, structured] : kHandlers) {
            if (code == s.logCode) h.Log(code, s.payload, {params, structured}, 0, Ticks(s.now));
        }
        h.ExpectCurrent(s.expected);
    }
}

TEST(FlowThroughput, RoundsOfFlowsAcrossPackets) {
    RecordHarness h;
    RunSteps(
        h,
        {
            // Flow 0 starts at 1000 s; at 1002 s 250000 bytes: 1000000 bit/s x 1.024 = 1024000;
            // N / B = 1000 / 250000: 0.4 %. No interval yet.
            {1,
             0x1276,
             1002,
             Flow1276(0, 1000, 1000, 250000),
             {{0x7F018101, 1024000}, {0x7F018106, 40}}},
            // Flow 1 reports alone: 125000 bytes in 2 s, 512000; share 0. Nothing published.
            {1, 0x1276, 1003, Flow1276(1, 1001, 0, 125000), {}},
            // Flow 0 again: 500000 bytes in 6 s, 666666.69 x 1.024 = 682666.69, plus flow 1's
            // 512000; share (3500 - 1000) / (500000 - 250000) = 1 %, averaged with flow 1's 0;
            // interval 250000 bytes in 4 s = 512000 (0x1276 lists it before the share).
            {2,
             0x1276,
             1006,
             Flow1276(0, 1000, 3500, 500000),
             {{0x7F018101, 1194666}, {0x7F018102, 512000}, {0x7F018106, 50}}},
            // A start stamp in another second restarts the counting: 1000 bytes in 2 s, 4096;
            // share 10 / 1000. The byte counter went down: no interval rate.
            {1, 0x1276, 1012, Flow1276(0, 1010, 10, 1000), {{0x7F018101, 4096}, {0x7F018106, 100}}},
            // The reverse link keeps its own history: 1000 bytes in 1 s, 8192; then 1001000
            // bytes in 2 s, 4100096, and 1000000 bytes in the last second, 8192000, clamped to
            // 5670000.
            {1, 0x1275, 1020, Flow1275(0, 1019, 0, 1000), {{0x7F018103, 8192}, {0x7F018107, 0}}},
            {1,
             0x1275,
             1021,
             Flow1275(0, 1019, 0, 1001000),
             {{0x7F018103, 4100096}, {0x7F018107, 0}, {0x7F018104, 5670000}}},
        });
    // Bytes that did not grow: no share, an interval rate of 0. 1000 bytes in 3 s: 2730.67.
    // Its blob: flow, byte 0, payload 10 to 65, the start date as a day number.
    constexpr uint32_t kE7 = 0x7F0107E7;
    RunSteps(
        h, {{1, 0x1276, 1013, Flow1276(0, 1010, 10, 1000), {{0x7F018101, 2730}, {0x7F018102, 0}}}});
    EXPECT_EQ(h.StructBytes(kE7, 0, 7), (Bytes{0, 0xC0, 0x0D, 0x0C, 0x0B, 0x0A, 14}));
    EXPECT_DOUBLE_EQ(h.StructAt<double>(kE7, 58), 29226.0 + 1010.0 / 86400.0);
}

TEST(FlowThroughput, MultiCarrierFlowsOnlyPublishInModeTwo) {
    // Index word 0xD6A0: flow 0, skip flag, bits 6-9 10, bits 10-13 5, bits 14 and 15 set.
    RecordHarness h;
    RunSteps(h, {
                    {2, 0x12A5, 2001, Flow12A5(0xD6A0, 2000, 0, 500000), {}},
                    {2,
                     0x12A5,
                     2002,
                     Flow12A5(0, 2000, 1000, 250000),
                     {{0x7F018101, 1024000}, {0x7F018106, 40}}},
                    // Single carrier: nothing published, the history still moves (computed once, by
                    // the structured handler): the next mode-2 packet counts from this one.
                    {1, 0x12A5, 3001, Flow12A5(0, 3000, 0, 1000), {}},
                    {2,
                     0x12A5,
                     3002,
                     Flow12A5(0, 3000, 2500, 251000),
                     {{0x7F018101, 1028096}, {0x7F018106, 100}, {0x7F018102, 2048000}}},
                });
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107F2});
    h.Log(0x12A5, Flow12A5(0xD6A0, 2000, 0, 0), {HandleFlowStruct12A5});
    EXPECT_EQ(h.StructBytes(0x7F0107F2, 0, 14), (Bytes{0, 0, 1, 0, 10, 0, 5, 0, 1, 0, 1, 0, 3, 4}));
    EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107F2, 14), 29226.0 + 2000.0 / 86400.0);
}

}  // namespace
}  // namespace tessavo::test

// 1x statistics, records and second-interface state through the exported functions: state that
// carries over between packets, the sampling the state byte drives, and the status response.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/le.h"
#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

constexpr uint64_t kSecond = 800;  // ticks of 1.25 ms

const ParamValue* Find(const std::vector<ParamValue>& list, uint32_t id) {
    const auto it =
        std::find_if(list.begin(), list.end(), [id](const ParamValue& p) { return p.id == id; });
    return it == list.end() ? nullptr : &*it;
}

Bytes StateBytes(uint8_t r0, uint8_t r4 = 0, uint8_t r8 = 1) {
    return {r0, 1, 1, 4, r4, 0, 0, 0, r8};
}

TEST(FirstRangeScenario, SectorLogIsSampledOnlyInState5) {
    TestHost host;
    Bytes stream = Frame(LogPacket(0x107E, StateBytes(5), 10 * kSecond));
    // 10.0 s and 10.1 s: the second falls inside the 0.5 s interval; 10.6 s passes.
    for (uint64_t t : {10 * kSecond, 10 * kSecond + 80, 10 * kSecond + 480}) {
        stream = Concat({stream, Frame(LogPacket(0x108A, {0}, t))});
    }
    stream = Concat({stream, Frame(LogPacket(0x107E, StateBytes(3, 3), 11 * kSecond))});
    // State 3: no sampling, both pass.
    for (uint64_t t : {11 * kSecond, 11 * kSecond + 80}) {
        stream = Concat({stream, Frame(LogPacket(0x108A, {0}, t))});
    }
    const int32_t n = host.FeedAndCollect(stream);
    std::vector<uint32_t> codes;
    for (int32_t i = 0; i < n; ++i) codes.push_back(host.MsgCode(i));
    const std::vector<uint32_t> expected = {0xB101107E, 0xB101108A, 0xB101108A,
                                            0xB101107E, 0xB101108A, 0xB101108A};
    EXPECT_EQ(codes, expected);
}

TEST(FirstRangeScenario, State5WithdrawsTheFrameStatistics) {
    TestHost host;
    // 0x102B: one group over channel 0, one frame with sample 16: 16 / 1 / 8 = 2.0.
    Bytes averages(6, 0);
    averages.push_back(1);
    averages.insert(averages.end(), {0x01, 0x01, 0x00, 0x03, 0x00, 0x00, 16});
    Bytes stream = Frame(LogPacket(0x102B, averages, 5 * kSecond));
    stream = Concat({stream, Frame(LogPacket(0x107E, StateBytes(5), 6 * kSecond))});
    stream = Concat({stream, Frame(LogPacket(0x1000, {1}, 7 * kSecond))});
    ASSERT_EQ(host.FeedAndCollect(stream), 3);

    EXPECT_EQ(host.Current(0), (std::vector<ParamValue>{{0x7F010105, 2000, 1}}));
    const auto current = host.Current(1);
    ASSERT_NE(Find(current, 0x7F01C103), nullptr);
    EXPECT_EQ(*Find(current, 0x7F01C103), (ParamValue{0x7F01C103, 2, 1}));
    ASSERT_NE(Find(current, 0x7F010105), nullptr);
    EXPECT_EQ(Find(current, 0x7F010105)->state, -1);
    EXPECT_EQ(Find(host.Inherited(1), 0x7F010105), nullptr);
    // Cleared values are listed nowhere afterwards.
    EXPECT_EQ(Find(host.Current(2), 0x7F010105), nullptr);
    EXPECT_EQ(Find(host.Inherited(2), 0x7F010105), nullptr);
    EXPECT_NE(Find(host.Inherited(2), 0x7F018302), nullptr);
}

Bytes Counters1031(uint64_t resetTicks, uint32_t a, uint32_t b) {
    Bytes p(86, 0);
    StoreLE(p.data() + 1, StampFromTicks(resetTicks));
    StoreLE(p.data() + 54, a);
    StoreLE(p.data() + 82, b);
    return p;
}

TEST(FirstRangeScenario, CounterRatesAcrossPacketsAndAReset) {
    TestHost host;
    const uint64_t reset = 50 * kSecond;
    Bytes stream = Frame(LogPacket(0x1031, Counters1031(reset, 0, 0), 100 * kSecond));
    // 0.4 s later: refused by the 0.8 s interval, so its counters are not taken.
    stream = Concat(
        {stream, Frame(LogPacket(0x1031, Counters1031(reset, 900, 900), 100 * kSecond + 320))});
    // 1 s after the first: 1000 bytes -> 8000 bit/s, 500 bytes -> 4000 bit/s.
    stream =
        Concat({stream, Frame(LogPacket(0x1031, Counters1031(reset, 1000, 500), 101 * kSecond))});
    // A new reset time: no rates.
    stream = Concat(
        {stream, Frame(LogPacket(0x1031, Counters1031(reset + kSecond, 50, 50), 102 * kSecond))});
    ASSERT_EQ(host.FeedAndCollect(stream), 3);
    EXPECT_TRUE(host.Current(0).empty());
    EXPECT_EQ(host.Current(1),
              (std::vector<ParamValue>{{0x7F010201, 8000, 1}, {0x7F010202, 4000, 1}}));
    EXPECT_TRUE(host.Current(2).empty());
    EXPECT_EQ(host.Inherited(2).size(), 2u);
}

Bytes Throughput1070(uint64_t c49) {
    Bytes p(137, 0);
    StoreLE(p.data() + 1, StampFromTicks(90 * kSecond));
    StoreLE(p.data() + 49, c49);
    return p;
}

TEST(FirstRangeScenario, ThroughputOverOneSecond) {
    TestHost host;
    Bytes stream = Frame(LogPacket(0x1070, Throughput1070(5000), 100 * kSecond));
    stream = Concat({stream, Frame(LogPacket(0x1070, Throughput1070(6000), 101 * kSecond))});
    ASSERT_EQ(host.FeedAndCollect(stream), 2);
    const auto current = host.Current(1);
    ASSERT_NE(Find(current, 0x7F018102), nullptr);
    EXPECT_EQ(Find(current, 0x7F018102)->value, 8192);  // 1024 x 8000 / 1 / 1000
}

// Status response body (after the command byte): MCC 310 (sent 209), MNC 00 (sent 99),
// IMSI_S of 1234567890, channel 283.
Bytes StatusBody() {
    Bytes b;
    PutU32(b, 0x01020304);
    PutU32(b, 0);
    PutU16(b, 0);
    PutU64(b, (12ull << 24) | (345ull << 14) | (7ull << 10) | 789ull);
    PutU8(b, 99);
    PutU16(b, 209);
    b.insert(b.end(), 6, 0);
    PutU8(b, 5);
    PutU16(b, 0);
    PutU16(b, 283);
    PutU16(b, 0);
    PutU8(b, 0);
    return b;
}

TEST(FirstRangeScenario, StatusResponseAsLogAndAsCommand) {
    TestHost host;
    Bytes stream = Frame(LogPacket(0x3063, StatusBody(), 100 * kSecond));
    stream = Concat({stream, Frame(CommandPacket(0x63, StatusBody()))});
    ASSERT_EQ(host.FeedAndCollect(stream), 2);
    for (int32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(host.MsgCode(i), 0xB1013063u);
        const auto current = host.Current(i);
        ASSERT_NE(Find(current, 0x7F010319), nullptr) << i;
        EXPECT_EQ(Find(current, 0x7F010319)->value, 310);
        EXPECT_EQ(Find(current, 0x7F010317)->value, 1234567890);
        EXPECT_EQ(Find(current, 0x7F010012)->value, 283);
        EXPECT_EQ(Find(current, 0x7F010016)->value, 5);
        const auto structs = host.CurrentStructs(i);
        ASSERT_EQ(structs.size(), 1u);
        EXPECT_EQ(structs[0].id, 0x7F0107FAu);
        ASSERT_EQ(structs[0].payload.size(), 47u);
        EXPECT_EQ(std::string(structs[0].payload.begin() + 15, structs[0].payload.begin() + 30),
                  "310001234567890");
    }
}

TEST(FirstRangeScenario, EventIdentifierRefinesTheMessageCode) {
    TestHost host;
    Bytes event(28, 0);
    StoreLE(event.data() + 13, uint16_t{272});
    event[37 - 16] = 0x11;
    event[38 - 16] = 0x22;
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x10F4, event, 100 * kSecond))), 1);
    EXPECT_EQ(host.MsgCode(0), (0x10F4u << 16) + 272);
    EXPECT_EQ(host.Current(0),
              (std::vector<ParamValue>{{0x7F01D102, 0x11, 1}, {0x7F01D103, 0x22, 1}}));
}

}  // namespace
}  // namespace tessavo::test

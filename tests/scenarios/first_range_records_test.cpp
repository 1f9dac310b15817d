// 1x statistics, records and second-interface state through the exported functions: state that
// carries over between packets, the sampling the state byte drives, and the status response.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "common/le.h"
#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

constexpr uint64_t kSecond = 800;  // ticks of 1.25 ms

std::optional<ParamValue> Find(const std::vector<ParamValue>& list, uint32_t id) {
    const auto it =
        std::find_if(list.begin(), list.end(), [id](const ParamValue& p) { return p.id == id; });
    return it == list.end() ? std::nullopt : std::optional(*it);
}

// Log packets of (log code, payload, ticks), framed one after the other.
Bytes Stream(std::initializer_list<std::tuple<uint16_t, Bytes, uint64_t>> packets) {
    Bytes s;
    for (const auto& [code, payload, ticks] : packets) {
        s = Concat({s, Frame(LogPacket(code, payload, ticks))});
    }
    return s;
}

Bytes StateBytes(uint8_t r0, uint8_t r4 = 0) {
    return {r0, 1, 1, 4, r4, 0, 0, 0, 1};
}

TEST(FirstRangeScenario, SectorLogIsSampledOnlyInState5) {
    TestHost host;
    // State 5: 10.0 s and 10.1 s: the second falls inside the 0.5 s interval; 10.6 s passes.
    // State 3: no sampling, both pass.
    const uint64_t t = 10 * kSecond;
    const int32_t n = host.FeedAndCollect(Stream({{0x107E, StateBytes(5), t},
                                                  {0x108A, {0}, t},
                                                  {0x108A, {0}, t + 80},
                                                  {0x108A, {0}, t + 480},
                                                  {0x107E, StateBytes(3, 3), t + kSecond},
                                                  {0x108A, {0}, t + kSecond},
                                                  {0x108A, {0}, t + kSecond + 80}}));
    std::vector<uint32_t> codes;
    for (int32_t i = 0; i < n; ++i) codes.push_back(host.MsgCode(i));
    EXPECT_EQ(codes, (std::vector<uint32_t>{0xB101107E, 0xB101108A, 0xB101108A, 0xB101107E,
                                            0xB101108A, 0xB101108A}));
}

TEST(FirstRangeScenario, State5WithdrawsTheFrameStatistics) {
    TestHost host;
    // 0x102B: one group over channel 0, one frame with sample 16: 16 / 1 / 8 = 2.0.
    const Bytes averages = {0, 0, 0, 0, 0, 0, 1, 0x01, 0x01, 0x00, 0x03, 0x00, 0x00, 16};
    ASSERT_EQ(host.FeedAndCollect(Stream({{0x102B, averages, 5 * kSecond},
                                          {0x107E, StateBytes(5), 6 * kSecond},
                                          {0x1000, {1}, 7 * kSecond}})),
              3);
    EXPECT_EQ(host.Current(0), (std::vector<ParamValue>{{0x7F010105, 2000, 1}}));
    EXPECT_EQ(Find(host.Current(1), 0x7F01C103), (ParamValue{0x7F01C103, 2, 1}));
    EXPECT_EQ(Find(host.Current(1), 0x7F010105)->state, -1);
    EXPECT_EQ(Find(host.Inherited(1), 0x7F010105), std::nullopt);
    // Cleared values are listed nowhere afterwards.
    EXPECT_EQ(Find(host.Current(2), 0x7F010105), std::nullopt);
    EXPECT_EQ(Find(host.Inherited(2), 0x7F010105), std::nullopt);
    EXPECT_NE(Find(host.Inherited(2), 0x7F018302), std::nullopt);
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
    const uint64_t reset = 50 * kSecond, t = 100 * kSecond;
    // 0.4 s after the first: refused by the 0.8 s interval, so its counters are not taken.
    // 1 s after the first: 1000 bytes -> 8000 bit/s, 500 bytes -> 4000 bit/s. Then a new reset
    // time: no rates.
    ASSERT_EQ(host.FeedAndCollect(
                  Stream({{0x1031, Counters1031(reset, 0, 0), t},
                          {0x1031, Counters1031(reset, 900, 900), t + 320},
                          {0x1031, Counters1031(reset, 1000, 500), t + kSecond},
                          {0x1031, Counters1031(reset + kSecond, 50, 50), t + 2 * kSecond}})),
              3);
    EXPECT_TRUE(host.Current(0).empty());
    EXPECT_EQ(host.Current(1),
              (std::vector<ParamValue>{{0x7F010201, 8000, 1}, {0x7F010202, 4000, 1}}));
    EXPECT_TRUE(host.Current(2).empty());
    EXPECT_EQ(host.Inherited(2).size(), 2u);
}

TEST(FirstRangeScenario, StatusResponseAsLogAndAsCommand) {
    // Body after the command byte: MCC 310 (sent 209), MNC 00 (sent 99), IMSI_S of
    // 1234567890, channel 283.
    Bytes body(10, 0);
    PutU64(body, (12ull << 24) | (345ull << 14) | (7ull << 10) | 789ull);
    body.insert(body.end(), {99, 209, 0, 0, 0, 0, 0, 0, 0, 5, 0, 0});
    PutU16(body, 283);
    body.insert(body.end(), 3, 0);
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Concat(
                  {Stream({{0x3063, body, 100 * kSecond}}), Frame(CommandPacket(0x63, body))})),
              2);
    for (int32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(host.MsgCode(i), 0xB1013063u);
        const auto current = host.Current(i);
        EXPECT_EQ(Find(current, 0x7F010319), (ParamValue{0x7F010319, 310, 1})) << i;
        EXPECT_EQ(Find(current, 0x7F010317), (ParamValue{0x7F010317, 1234567890, 1}));
        EXPECT_EQ(Find(current, 0x7F010012), (ParamValue{0x7F010012, 283, 1}));
        const auto structs = host.CurrentStructs(i);
        ASSERT_EQ(structs.size(), 1u);
        ASSERT_EQ(structs[0].payload.size(), 47u);
        EXPECT_EQ(std::string(structs[0].payload.begin() + 15, structs[0].payload.begin() + 30),
                  "310001234567890");
    }
}

TEST(FirstRangeScenario, EventIdentifierRefinesTheMessageCode) {
    Bytes event(28, 0);
    StoreLE(event.data() + 13, uint16_t{272});
    event[37 - 16] = 0x11;
    event[38 - 16] = 0x22;
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Stream({{0x10F4, event, 100 * kSecond}})), 1);
    EXPECT_EQ(host.MsgCode(0), (0x10F4u << 16) + 272);
    EXPECT_EQ(host.Current(0),
              (std::vector<ParamValue>{{0x7F01D102, 0x11, 1}, {0x7F01D103, 0x22, 1}}));
}

}  // namespace
}  // namespace tessavo::test

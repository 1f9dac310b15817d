// Re-encoded items fed back through the exports, and command responses as a host sees them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

constexpr int32_t kReencodeOn = 6;
// 1980-01-06 00:00:00 UTC, the DIAG epoch as local time 08:00 under TZ=CST-8.
constexpr int32_t kDiagEpoch = 315964800;
constexpr uint64_t kOneSecond = 800;  // ticks of 1.25 ms

Bytes Words(std::initializer_list<uint32_t> words) {
    Bytes b;
    for (uint32_t w : words) PutU32(b, w);
    return b;
}

Bytes ZelSimple(const TestHost& host, int32_t i) {
    return host.BlockBytes(GetReportItemBinaryToZelSimple(host.Handle(), i));
}

TEST(DirectParamsRoundTrip, CompactFormsRestoreTheItemsAndPassThroughKeepsTheFrame) {
    TestHost source;
    ASSERT_TRUE(source.Configure(kReencodeOn));
    // Values with bytes that need escaping in the compact form.
    const Bytes passThrough = Frame(LogPacket(0x1007, {0x00, 0x01, 0x00, 0x00}, 3 * kOneSecond));
    const Bytes stream =
        Concat({Frame(LogPacket(0x1062, Words({1, 0x7E, 0xFFFFFFFF, 0x7D7E0000, 5}), kOneSecond)),
                Frame(LogPacket(0x1000, {0xAA}, 2 * kOneSecond)), passThrough});
    ASSERT_EQ(source.FeedAndCollect(stream, 1000, 0), 3);
    EXPECT_EQ(ZelSimple(source, 2), passThrough);
    EXPECT_EQ(source.BlockBytes(GetReportItemBinary(source.Handle(), 2)),
              (Bytes{0x00, 0x01, 0x00, 0x00}));

    TestHost target;
    ASSERT_EQ(target.FeedAndCollect(Concat({ZelSimple(source, 0), ZelSimple(source, 1)}), 2000, 0),
              2);
    EXPECT_EQ(target.MsgCode(0), 0xB1011062u);
    EXPECT_EQ(target.Direction(0), 2u);
    std::vector<ParamValue> expected = {{0x7F018328, 1, 1},
                                        {0x7F018329, 0x7E, 1},
                                        {0x7F01832A, -1, 1},
                                        {0x7F01832B, 0x7D7E0000, 1},
                                        {0x7F01832C, 5, 1}};
    EXPECT_EQ(target.Current(0), expected);
    EXPECT_TRUE(target.Inherited(0).empty());
    EXPECT_TRUE(target.CurrentStructs(0).empty());  // the compact form carries scalars only
    // The compact packet keeps the time stamp of the packet it was built from.
    EXPECT_EQ(target.Time(0).seconds, kDiagEpoch + 1);
    EXPECT_EQ(target.Time(0).microseconds, 0);

    // The second compact packet has no parameters: it inherits the first one's.
    EXPECT_EQ(target.MsgCode(1), 0xB1011000u);
    EXPECT_TRUE(target.Current(1).empty());
    for (ParamValue& p : expected) p.state = 0;
    EXPECT_EQ(target.Inherited(1), expected);
}

// ---- Command responses through the exports ----

Bytes LogFirst() {
    return Frame(LogPacket(0x1000, {0x00}, kOneSecond));
}

TEST(CommandScenarios, OnlyThePlayoutDebugMessageYieldsAnItem) {
    const auto debug = [](const std::string& text) {
        Bytes body = Concat({{0x00, 0x00, 0x02}, Bytes(8 + 2, 0), {17, 0}, Bytes(4, 0)});
        body.insert(body.end(), text.begin(), text.end());
        body.push_back(0);
        return Frame(CommandPacket(0x79, body));
    };
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(LogFirst()), 1);
    EXPECT_EQ(host.FeedAndCollect(debug("Voice:: Media Stop")), 0);
    ASSERT_EQ(host.FeedAndCollect(debug("Voice:: Media Start Playout")), 1);
    EXPECT_EQ(host.MsgCode(0), 0xB1013079u);
    EXPECT_TRUE(host.Current(0).empty());
}

TEST(CommandScenarios, CommandDDTimeFollowsTheHostClock) {
    TestHost host;
    // First log packet: DIAG time epoch + 1 s at host time 1000.000000.
    ASSERT_EQ(host.FeedAndCollect(LogFirst(), 1000, 0), 1);
    // 2.5 s of host time later: epoch + 3.5 s.
    ASSERT_EQ(host.FeedAndCollect(Frame(CommandPacket(0xDD, {0x01})), 1002, 500000), 1);
    EXPECT_EQ(host.MsgCode(0), 0xEEAA0001u);
    EXPECT_EQ(host.Time(0).seconds, kDiagEpoch + 3);
    EXPECT_EQ(host.Time(0).microseconds, 500000);
}

}  // namespace
}  // namespace tessavo::test

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

Bytes FiveWords(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
    Bytes p;
    for (uint32_t w : {a, b, c, d, e}) PutU32(p, w);
    return p;
}

Bytes Join(std::initializer_list<Bytes> frames) {
    return Concat(frames);
}

Bytes ZelSimple(const TestHost& host, int32_t i) {
    return host.BlockBytes(GetReportItemBinaryToZelSimple(host.Handle(), i));
}

Bytes Payload(const TestHost& host, int32_t i) {
    return host.BlockBytes(GetReportItemBinary(host.Handle(), i));
}

Bytes FirstFour(const Bytes& b) {
    return Bytes(b.begin(), b.begin() + std::min<size_t>(4, b.size()));
}

const Bytes kAllFF = {0xFF, 0xFF, 0xFF, 0xFF};

TEST(DirectParamsRoundTrip, CompactFormRestoresCodeDirectionTimeAndScalars) {
    TestHost source;
    ASSERT_TRUE(source.Configure(kReencodeOn));
    // Values with bytes that need escaping in the compact form.
    const Bytes words = FiveWords(1, 0x7E, 0xFFFFFFFF, 0x7D7E0000, 5);
    ASSERT_EQ(source.FeedAndCollect(Frame(LogPacket(0x1062, words, kOneSecond)), 1000, 0), 1);
    EXPECT_EQ(source.MsgCode(0), 0xB1011062u);
    const std::vector<ParamValue> expected = {{0x7F018328, 1, 1},
                                              {0x7F018329, 0x7E, 1},
                                              {0x7F01832A, -1, 1},
                                              {0x7F01832B, 0x7D7E0000, 1},
                                              {0x7F01832C, 5, 1}};
    ASSERT_EQ(source.Current(0), expected);
    const Bytes compact = ZelSimple(source, 0);
    ASSERT_GT(compact.size(), 80u);
    EXPECT_EQ(compact.back(), 0x7E);
    EXPECT_EQ(FirstFour(Payload(source, 0)), kAllFF);

    TestHost target;
    ASSERT_EQ(target.FeedAndCollect(compact, 2000, 0), 1);
    EXPECT_EQ(target.MsgCode(0), 0xB1011062u);
    EXPECT_EQ(target.Direction(0), 2u);
    EXPECT_EQ(target.Current(0), expected);
    EXPECT_TRUE(target.Inherited(0).empty());
    EXPECT_TRUE(target.CurrentStructs(0).empty());  // the compact form carries scalars only
    EXPECT_EQ(FirstFour(Payload(target, 0)), kAllFF);
    // The compact packet keeps the time stamp of the packet it was built from.
    EXPECT_EQ(source.Time(0).seconds, kDiagEpoch + 1);
    EXPECT_EQ(target.Time(0).seconds, kDiagEpoch + 1);
    EXPECT_EQ(target.Time(0).microseconds, 0);
}

TEST(DirectParamsRoundTrip, SecondCompactPacketInheritsTheFirst) {
    TestHost source;
    ASSERT_TRUE(source.Configure(kReencodeOn));
    const Bytes stream = Join({Frame(LogPacket(0x1062, FiveWords(1, 2, 3, 4, 5), kOneSecond)),
                               Frame(LogPacket(0x1000, {0xAA}, 2 * kOneSecond))});
    ASSERT_EQ(source.FeedAndCollect(stream), 2);

    TestHost target;
    ASSERT_EQ(target.FeedAndCollect(Join({ZelSimple(source, 0), ZelSimple(source, 1)})), 2);
    EXPECT_EQ(target.MsgCode(1), 0xB1011000u);
    EXPECT_TRUE(target.Current(1).empty());
    const auto inherited = target.Inherited(1);
    ASSERT_EQ(inherited.size(), 5u);
    EXPECT_EQ(inherited[0], (ParamValue{0x7F018328, 1, 0}));
    EXPECT_EQ(inherited[4], (ParamValue{0x7F01832C, 5, 0}));
}

TEST(DirectParamsRoundTrip, ItemWithoutParametersGetsTheEightyByteForm) {
    TestHost host;
    ASSERT_TRUE(host.Configure(kReencodeOn));
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1000, {0x01, 0x02}, kOneSecond))), 1);
    const Bytes zel = ZelSimple(host, 0);
    ASSERT_GE(zel.size(), 81u);
    EXPECT_EQ((Bytes{zel[0], zel[1], zel[2], zel[3], zel[4], zel[5], zel[6], zel[7]}),
              (Bytes{0x10, 0x00, 80, 0x00, 80, 0x00, 0xFE, 0xFF}));
}

TEST(DirectParamsRoundTrip, PassThroughLogKeepsTheReceivedFrame) {
    TestHost host;
    ASSERT_TRUE(host.Configure(kReencodeOn));
    const Bytes frame = Frame(LogPacket(0x1007, {0x00, 0x01, 0x00, 0x00}, kOneSecond));
    ASSERT_EQ(host.FeedAndCollect(frame), 1);
    EXPECT_EQ(host.MsgCode(0) >> 16, 0x1007u);
    EXPECT_EQ(ZelSimple(host, 0), frame);
    EXPECT_EQ(Payload(host, 0), (Bytes{0x00, 0x01, 0x00, 0x00}));
}

TEST(DirectParamsRoundTrip, CompactPacketWithBadTimeEntryYieldsNoItem) {
    Bytes entries;
    for (uint32_t w : {0xFF0F0003u, 4u, 0xB1011020u, 0xFF0F0001u, 4u, 0u}) PutU32(entries, w);
    TestHost host;
    EXPECT_EQ(host.FeedAndCollect(Frame(LogPacket(0xFFFE, entries, kOneSecond))), 0);
}

TEST(DirectParamsRoundTrip, FirstCompactSectionOfCode127EIsDropped) {
    Bytes entries;
    for (uint32_t w : {0xFF0F0003u, 4u, 0x127E0000u, 0xFF0F0010u, 4u, 1u, 0x7F010014u, 4u, 1u}) {
        PutU32(entries, w);
    }
    const Bytes frame = Frame(LogPacket(0xFFFE, entries, kOneSecond));
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Join({frame, frame})), 2);
    EXPECT_EQ(host.MsgCode(0), 0x127E0000u);
    EXPECT_TRUE(host.Current(0).empty());
    EXPECT_EQ(host.Current(1), (std::vector<ParamValue>{{0x7F010014, 1, 1}}));
}

// ---- Command responses through the exports ----

Bytes LogFirst() {
    return Frame(LogPacket(0x1000, {0x00}, kOneSecond));
}

TEST(CommandScenarios, CommandBeforeAnyLogPacketIsRejected) {
    TestHost host;
    const Bytes command = Frame(CommandPacket(0x5D, {0x00}));
    EXPECT_EQ(host.FeedAndCollect(command), 0);
    ASSERT_EQ(host.FeedAndCollect(Join({LogFirst(), command})), 2);
    EXPECT_EQ(host.MsgCode(1), 0xB101305Du);
    EXPECT_EQ(host.Direction(1), 2u);
    EXPECT_EQ(host.Current(1), (std::vector<ParamValue>{{0x7F1C8001, 1, 1}}));
}

struct CodeCase {
    const char* name;
    uint8_t command;
    Bytes body;
    uint32_t msgCode;
};

class CommandCodes : public ::testing::TestWithParam<CodeCase> {};

TEST_P(CommandCodes, ItemCarriesTheCommandMessageCode) {
    TestHost host;
    const CodeCase& c = GetParam();
    ASSERT_EQ(host.FeedAndCollect(Join({LogFirst(), Frame(CommandPacket(c.command, c.body))})), 2);
    EXPECT_EQ(host.MsgCode(1), c.msgCode);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CommandCodes,
    ::testing::Values(CodeCase{"C20", 0x20, {0x01, 0x02}, 0xB1013020},
                      CodeCase{"C3F", 0x3F, {0x05}, 0xB101DD3F},
                      CodeCase{"C4BStatus", 0x4B, {0x0F, 0, 0, 3, 0, 0, 0}, 0xB101DD4B},
                      CodeCase{"C4BCallStats", 0x4B, {0x0D, 100, 0, 0, 1, 2, 3, 4, 5}, 0xB101304B},
                      CodeCase{"C5D", 0x5D, {0x00}, 0xB101305D},
                      CodeCase{"C60", 0x60, {0x00, 0x00}, 0xB1011FFB},
                      CodeCase{"C73", 0x73, {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0}, 0xB1013073},
                      CodeCase{"CDD", 0xDD, {0x00}, 0xEEAA0001}),
    [](const auto& info) { return std::string(info.param.name); });

Bytes DebugMessage(const std::string& text) {
    Bytes body{0x00, 0x00, 0x02};
    PutU64(body, 0);
    PutU16(body, 0);
    PutU16(body, 17);
    PutU32(body, 0);
    body.insert(body.end(), text.begin(), text.end());
    body.push_back(0);
    return body;
}

TEST(CommandScenarios, OnlyThePlayoutDebugMessageYieldsAnItem) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(LogFirst()), 1);
    EXPECT_EQ(host.FeedAndCollect(Frame(CommandPacket(0x79, DebugMessage("Voice:: Media Stop")))),
              0);
    ASSERT_EQ(host.FeedAndCollect(
                  Frame(CommandPacket(0x79, DebugMessage("Voice:: Media Start Playout")))),
              1);
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

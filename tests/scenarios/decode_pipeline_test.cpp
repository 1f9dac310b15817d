// Bytes in, report items out, through the exported functions as a host calls them.
#include <gtest/gtest.h>

#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

Bytes FiveWords(uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e) {
    Bytes p;
    for (uint32_t w : {a, b, c, d, e}) PutU32(p, w);
    return p;
}

TEST(DecodePipeline, Log1062PublishesFiveScalarsAndOneBlob) {
    TestHost host;
    const Bytes payload = FiveWords(1, 2, 0xFFFFFFFF, 70000, 5);
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1062, payload, 800))), 1);
    EXPECT_EQ(host.MsgCode(0), 0xB1011062u);
    EXPECT_EQ(host.Direction(0), 2u);
    const std::vector<ParamValue> expected = {{0x7F018328, 1, 1},
                                              {0x7F018329, 2, 1},
                                              {0x7F01832A, -1, 1},
                                              {0x7F01832B, 70000, 1},
                                              {0x7F01832C, 5, 1}};
    EXPECT_EQ(host.Current(0), expected);
    EXPECT_TRUE(host.Inherited(0).empty());
    const auto structs = host.CurrentStructs(0);
    ASSERT_EQ(structs.size(), 1u);
    EXPECT_EQ(structs[0].id, 0x7F0107E2u);
    EXPECT_EQ(structs[0].payload, payload);
    EXPECT_EQ(host.BlockBytes(GetReportItemBinary(host.Handle(), 0)), payload);
}

TEST(DecodePipeline, LaterPacketInheritsEarlierValues) {
    TestHost host;
    Bytes stream = Frame(LogPacket(0x1062, FiveWords(1, 2, 3, 4, 5), 800));
    const Bytes unknown = Frame(LogPacket(0x1000, {0xAA, 0xBB}, 1600));
    stream.insert(stream.end(), unknown.begin(), unknown.end());
    ASSERT_EQ(host.FeedAndCollect(stream), 2);
    EXPECT_EQ(host.MsgCode(1), 0xB1011000u);
    EXPECT_TRUE(host.Current(1).empty());
    const auto inherited = host.Inherited(1);
    ASSERT_EQ(inherited.size(), 5u);
    EXPECT_EQ(inherited[0], (ParamValue{0x7F018328, 1, 0}));
    EXPECT_EQ(inherited[4], (ParamValue{0x7F01832C, 5, 0}));
    ASSERT_EQ(host.InheritedStructs(1).size(), 1u);
    EXPECT_EQ(host.InheritedStructs(1)[0].state, 0);
}

struct AcceptCase {
    const char* name;
    Bytes stream;
    int32_t items;
};

class Acceptance : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(Acceptance, ItemsProduced) {
    TestHost host;
    EXPECT_EQ(host.FeedAndCollect(GetParam().stream), GetParam().items);
}

Bytes Cat(std::initializer_list<Bytes> parts) { return Concat(parts); }

INSTANTIATE_TEST_SUITE_P(
    Packets, Acceptance,
    ::testing::Values(
        AcceptCase{"unknown_log_code_accepted_bare", Frame(LogPacket(0x1000, {1, 2, 3})), 1},
        AcceptCase{"ignored_log_code", Frame(LogPacket(0x1065, {1, 2, 3})), 0},
        AcceptCase{"bad_crc", FrameBadCrc(LogPacket(0x1007, {1, 2, 3})), 0},
        AcceptCase{"command_before_any_log", Frame(CommandPacket(0x5D, {0, 0})), 0},
        AcceptCase{"short_log_packet", Frame(Bytes{0x10, 0x00}), 0},
        AcceptCase{"empty_frame", Bytes{0x7E}, 0},
        AcceptCase{"garbage_between_frames",
                   Cat({Bytes{0x01, 0x02, 0x7E}, Frame(LogPacket(0x1000, {9}))}), 1}),
    [](const auto& info) { return info.param.name; });

TEST(DecodePipeline, FrameSplitAtEveryByteDecodesOnce) {
    const Bytes frame = Frame(LogPacket(0x1062, FiveWords(1, 2, 3, 4, 5)));
    for (size_t cut = 1; cut < frame.size(); ++cut) {
        TestHost host;
        const Bytes a(frame.begin(), frame.begin() + static_cast<long>(cut));
        const Bytes b(frame.begin() + static_cast<long>(cut), frame.end());
        EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), a.data(), static_cast<int32_t>(a.size()), 0, 0), 0);
        EXPECT_EQ(host.Collect(), 0) << "cut " << cut;
        EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), b.data(), static_cast<int32_t>(b.size()), 0, 0), 0);
        EXPECT_EQ(host.Collect(), 1) << "cut " << cut;
    }
}

TEST(DecodePipeline, EscapedLogCodeIsClassifiedUnescaped) {
    // Payload bytes 0x7E / 0x7D travel escaped and come back as sent.
    TestHost host;
    const Bytes payload = FiveWords(0x7E7D7E7D, 0, 0, 0, 0);
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1062, payload))), 1);
    EXPECT_EQ(host.Current(0)[0].value, static_cast<int32_t>(0x7E7D7E7D));
}

}  // namespace
}  // namespace tessavo::test

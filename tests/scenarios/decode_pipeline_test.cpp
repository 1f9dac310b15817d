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

TEST(DecodePipeline, LaterPacketInheritsTheStructuredRecord) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Concat({Frame(LogPacket(0x1062, FiveWords(1, 2, 3, 4, 5))),
                                          Frame(LogPacket(0x1000, {0xAA}))})),
              2);
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

INSTANTIATE_TEST_SUITE_P(
    Packets, Acceptance,
    ::testing::Values(
        AcceptCase{"unknown_log_code_accepted_bare", Frame(LogPacket(0x1000, {1, 2, 3})), 1},
        AcceptCase{"ignored_log_code", Frame(LogPacket(0x1065, {1, 2, 3})), 0},
        AcceptCase{"bad_crc", FrameBadCrc(LogPacket(0x1007, {1, 2, 3})), 0},
        // A compact form whose time entry is not 8 bytes long is refused.
        AcceptCase{"compact_form_refused",
                   Frame(LogPacket(0xFFFE, FiveWords(0xFF0F0001, 4, 0, 0, 0))), 0},
        AcceptCase{"command_before_any_log", Frame(CommandPacket(0x5D, {0, 0})), 0},
        AcceptCase{"short_log_packet", Frame(Bytes{0x10, 0x00}), 0},
        AcceptCase{"empty_frame", Bytes{0x7E}, 0},
        AcceptCase{"garbage_between_frames",
                   Concat({Bytes{0x01, 0x02, 0x7E}, Frame(LogPacket(0x1000, {9}))}), 1}),
    [](const auto& info) { return info.param.name; });

TEST(DecodePipeline, FrameSplitAtEveryByteDecodesOnce) {
    const Bytes frame = Frame(LogPacket(0x1062, FiveWords(1, 2, 3, 4, 5)));
    for (size_t cut = 1; cut < frame.size(); ++cut) {
        TestHost host;
        const Bytes a(frame.begin(), frame.begin() + static_cast<long>(cut));
        const Bytes b(frame.begin() + static_cast<long>(cut), frame.end());
        EXPECT_EQ(
            DecodeMsgProc_NoDynamic(host.Handle(), a.data(), static_cast<int32_t>(a.size()), 0, 0),
            0);
        EXPECT_EQ(host.Collect(), 0) << "cut " << cut;
        EXPECT_EQ(
            DecodeMsgProc_NoDynamic(host.Handle(), b.data(), static_cast<int32_t>(b.size()), 0, 0),
            0);
        EXPECT_EQ(host.Collect(), 1) << "cut " << cut;
    }
}

}  // namespace
}  // namespace tessavo::test

// 1x signalling and pilot decoders fed as a host feeds them: frames through the exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_host.h"
#include "unit/decoders/decoder_test_util.h"

namespace tessavo::test {
namespace {

// The first frame (escaped, with its 0x7E) of `file` that holds a log packet of `code` whose
// message type byte (payload byte 1) is `type`.
Bytes FirstSignallingFrame(const Bytes& file, uint16_t code, uint8_t type) {
    for (auto start = file.begin(); start != file.end();) {
        const auto end = std::find(start, file.end(), uint8_t{0x7E});
        if (end == file.end()) break;
        Bytes p;
        for (auto i = start; i != end; ++i)
            p.push_back(*i == 0x7D && i + 1 != end ? *++i ^ 0x20 : *i);
        if (p.size() > 18 && p[0] == 0x10 && (p[6] | p[7] << 8) == code && p[17] == type) {
            return Bytes(start, end + 1);
        }
        start = end + 1;
    }
    return {};
}

TEST(FirstSignallingCapture, FirstSystemParametersMessageOfTheCdmaCapture) {
    std::ifstream in(std::filesystem::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log",
                     std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.empty()) GTEST_SKIP() << "capture not available";
    const Bytes frame = FirstSignallingFrame(file, 0x1007, 1);
    ASSERT_FALSE(frame.empty());

    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(frame), 1);
    EXPECT_EQ(host.MsgCode(0), 0x10070100u);
    const auto params = host.Current(0);
    // Worked out from the message bits: 22 01 | 27 1a 40 c4 ... gives PILOT_PN 78, SID 4145.
    const Values expected = {
        {0x7F01C102, 0},    {0x7F010014, 1}, {0x7F010018, 26}, {0x7F010301, 4145}, {0x7F010302, 4},
        {0x7F010303, 8544}, {0x7F010304, 9}, {0x7F010305, 9},  {0x7F010306, 0},    {0x7F010308, 5},
        {0x7F010309, 30},   {0x7F01030A, 3}, {0x7F01030E, 0},  {0x7F01040D, 2},    {0x7F01040E, 7},
        {0x7F01040F, 5},    {0x7F010410, 1}, {0x7F010411, 0}};
    ASSERT_EQ(params.size(), expected.size());
    for (size_t i = 0; i < params.size(); ++i) {
        EXPECT_EQ(params[i].id, expected[i].first) << i;
        EXPECT_EQ(params[i].value, expected[i].second) << std::hex << expected[i].first;
        EXPECT_EQ(params[i].state, 1);
    }
    const auto structs = host.CurrentStructs(0);
    ASSERT_EQ(structs.size(), 2u);
    EXPECT_EQ(structs[0].id, 0x7F0107D0u);
    ASSERT_EQ(structs[0].payload.size(), 19u);
    EXPECT_EQ(structs[0].payload[0] | structs[0].payload[1] << 8, 78);  // PILOT_PN
}

TEST(FirstSignallingCapture, PilotSetsResponseAfterALogPacket) {
    TestHost host;
    // Commands count only once a log packet has given the first DIAG time.
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1007, {4, 6, 0, 0}, 800))), 1);
    ASSERT_EQ(host.FeedAndCollect(FromHex(kCapturedPilotSetsFrame)), 1);
    EXPECT_EQ(host.MsgCode(0), (uint32_t{TESSAVO_MODULE_B101} << 16) + 0x3040);
    EXPECT_TRUE(host.Current(0).empty());
    const auto structs = host.CurrentStructs(0);
    ASSERT_EQ(structs.size(), 1u);
    EXPECT_EQ(structs[0].id, 0x7F0107D4u);
    const Bytes& p = structs[0].payload;
    ASSERT_EQ(p.size(), 261u);
    // Field 3, one active pilot, no candidate, 25 neighbours; the active pilot PN 240 at 22.
    EXPECT_EQ((Bytes{p.begin(), p.begin() + 9}), (Bytes{3, 0, 1, 0, 25, 240, 0, 22, 0}));
}

}  // namespace
}  // namespace tessavo::test

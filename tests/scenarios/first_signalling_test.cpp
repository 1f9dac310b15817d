// 1x signalling and pilot decoders fed as a host feeds them: frames through the exports.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/test_host.h"

namespace tessavo::test {
namespace {

constexpr uint32_t kChannelState = 0x7F01C102;
constexpr uint32_t kTxPower = 0x7F010003;

Bytes ReadCapture(const std::string& name) {
    std::ifstream in(std::filesystem::path(TESSAVO_CAPTURES_DIR) / name, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

Bytes Unescaped(const Bytes& frame) {
    Bytes out;
    for (size_t i = 0; i < frame.size(); ++i) {
        if (frame[i] == 0x7D && i + 1 < frame.size()) {
            out.push_back(frame[++i] ^ 0x20);
        } else {
            out.push_back(frame[i]);
        }
    }
    return out;
}

// The first frame (escaped, with its 0x7E) that holds a log packet of `code` whose message type
// byte (payload byte 1) is `type`.
Bytes FirstSignallingFrame(const Bytes& file, uint16_t code, uint8_t type) {
    auto start = file.begin();
    while (start != file.end()) {
        auto end = std::find(start, file.end(), uint8_t{0x7E});
        if (end == file.end()) break;
        const Bytes frame(start, end + 1);
        const Bytes p = Unescaped(Bytes(start, end));
        if (p.size() > 18 && p[0] == 0x10 && (p[6] | p[7] << 8) == code && p[17] == type) {
            return frame;
        }
        start = end + 1;
    }
    return {};
}

int32_t ValueIn(const std::vector<ParamValue>& params, uint32_t id) {
    for (const ParamValue& p : params) {
        if (p.id == id) return p.value;
    }
    ADD_FAILURE() << "no parameter " << std::hex << id;
    return 0;
}

bool Has(const std::vector<ParamValue>& params, uint32_t id) {
    return std::any_of(params.begin(), params.end(),
                       [&](const ParamValue& p) { return p.id == id; });
}

TEST(FirstSignallingCapture, FirstSystemParametersMessageOfTheCdmaCapture) {
    const Bytes file = ReadCapture("sprint_2015.mi2log");
    if (file.empty()) GTEST_SKIP() << "capture not available";
    const Bytes frame = FirstSignallingFrame(file, 0x1007, 1);
    ASSERT_FALSE(frame.empty());

    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(frame), 1);
    EXPECT_EQ(host.MsgCode(0), 0x10070100u);
    const auto params = host.Current(0);
    // Worked out from the message bits: 22 01 | 27 1a 40 c4 ... gives PILOT_PN 78, SID 4145.
    const std::pair<uint32_t, int32_t> expected[] = {
        {kChannelState, 0}, {0x7F010014, 1}, {0x7F010018, 26}, {0x7F010301, 4145}, {0x7F010302, 4},
        {0x7F010303, 8544}, {0x7F010304, 9}, {0x7F010305, 9},  {0x7F010306, 0},    {0x7F010308, 5},
        {0x7F010309, 30},   {0x7F01030A, 3}, {0x7F01030E, 0},  {0x7F01040D, 2},    {0x7F01040E, 7},
        {0x7F01040F, 5},    {0x7F010410, 1}, {0x7F010411, 0}};
    ASSERT_EQ(params.size(), std::size(expected));
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

// A pilot sets response (command 0x40) captured from a handset.
const char* const kPilotSetsFrame =
    "400300010019f000160021001c00d8003f0056013f0015001a0011013f0092013f0039003f0095013f001200"
    "3f0023013f0066003f000b013f00ae003f0002013f00a8003f0050013f00f8013f0057003f007d5e003f0093"
    "003f00bd003f0077013f00b7003f00ab003f0033003f00000000000000000000000000000000000000000000"
    "0000adde000000000000001313501f0000ffff00aa1900000000000000000000000000000000000000000000"
    "000000000000000000000000b1c47d5e7d5e7d5d5d04581b5b1b000000000000000000000000000000006569"
    "7e";

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// Each collection hands the host the items since the last one, from index 0.
TEST(FirstSignallingCapture, PilotSetsResponseAfterALogPacket) {
    TestHost host;
    // Commands count only once a log packet has given the first DIAG time.
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1007, {4, 6, 0, 0}, 800))), 1);
    ASSERT_EQ(host.FeedAndCollect(FromHex(kPilotSetsFrame)), 1);
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

Bytes PilotLog(uint8_t txAgc) {
    Bytes payload(24, 0);
    payload[13] = 150;  // -98.581 dBm
    payload[14] = txAgc;
    return payload;
}

TEST(FirstSignallingFrames, TransmitValuesOnlyOnTheTrafficChannel) {
    TestHost host;
    // Forward traffic message (type 2): on a traffic channel.
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1008, {3, 2, 0}, 800))), 1);
    EXPECT_EQ(ValueIn(host.Current(0), kChannelState), 2);
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x102D, PilotLog(120), 1600))), 1);
    EXPECT_EQ(ValueIn(host.Current(0), kTxPower), -12250);
    // A paging channel message: idle again; the transmit values are withdrawn.
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x1007, {4, 6, 0, 0}, 2400))), 1);
    const auto paging = host.Current(0);
    EXPECT_EQ(ValueIn(paging, kChannelState), 0);
    ASSERT_TRUE(Has(paging, kTxPower));
    for (const ParamValue& p : paging) {
        if (p.id == kTxPower) {
            EXPECT_EQ(p.state, -1);
        }
    }
    ASSERT_EQ(host.FeedAndCollect(Frame(LogPacket(0x102D, PilotLog(120), 3200))), 1);
    EXPECT_FALSE(Has(host.Current(0), kTxPower));
    EXPECT_FALSE(Has(host.Inherited(0), kTxPower));
}

}  // namespace
}  // namespace tessavo::test

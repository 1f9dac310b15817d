// DTLog text as a host reads it: each item's block renders the fresh parameters of the packet
// before it. Parameters are set through compact packets (log code 0xFFFE), which publish
// scalar and structured parameters by ID; expected texts are worked out from those values.
#include <gtest/gtest.h>

#include <bit>
#include <string>

#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

constexpr int32_t kDtLogOn = 0xA0001;
constexpr int32_t kDtLogOff = 0xA0002;

std::string Tabs(int n) {
    return std::string(static_cast<size_t>(n), '\t');
}

Bytes Scalar(uint32_t id, int32_t value) {
    Bytes b;
    PutU32(b, id);
    PutU32(b, 4);
    PutU32(b, static_cast<uint32_t>(value));
    return b;
}

Bytes Blob(uint32_t id, const Bytes& payload) {
    Bytes b;
    PutU32(b, id);
    PutU32(b, static_cast<uint32_t>(payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// A compact packet whose parameter section holds `count` entries.
Bytes Compact(uint32_t count, const Bytes& entries) {
    Bytes b;
    PutU32(b, 0xFF0F0010);
    PutU32(b, 4);
    PutU32(b, count);
    b.insert(b.end(), entries.begin(), entries.end());
    return Frame(LogPacket(0xFFFE, b));
}

// A packet that sets nothing: its item carries the text of the packet before it.
const Bytes kCarrier = Frame(LogPacket(0x1000, {}));

std::string DtLog(const TestHost& host, int32_t i) {
    const Bytes b = host.BlockBytes(GetReportItemDTLogBinary(host.Handle(), i));
    return std::string(b.begin(), b.end());
}

Bytes PilotStatusPayload() {
    Bytes p(261, 0);
    p[0] = 0x02;  // u16 258 at 0
    p[1] = 0x01;
    p[2] = 1;  // one pilot of the first set, two of the second, none of the third
    p[3] = 2;
    p[4] = 0;
    const uint16_t elements[3][2] = {{12, 15}, {300, 7}, {65535, 0}};
    for (int i = 0; i < 3; ++i) {
        for (int k = 0; k < 2; ++k) {
            p[5 + 4 * i + 2 * k] = static_cast<uint8_t>(elements[i][k]);
            p[6 + 4 * i + 2 * k] = static_cast<uint8_t>(elements[i][k] >> 8);
        }
    }
    return p;
}

Bytes ActiveSetPayload() {
    Bytes p;
    PutU32(p, 3);
    struct Element {
        int16_t pn;
        double level;
        int32_t word;
    };
    for (const Element& e :
         {Element{5, -3.125, 70000}, Element{600, 1e40, -1}, Element{-1, 2.005, 16777217}}) {
        PutU16(p, static_cast<uint16_t>(e.pn));
        PutU64(p, std::bit_cast<uint64_t>(e.level));
        PutU32(p, static_cast<uint32_t>(e.word));
    }
    p.resize(172, 0);
    return p;
}

Bytes PowerWordsPayload() {  // twelve i16: -300, -200, ..., 800
    Bytes p;
    for (int k = 0; k < 12; ++k) PutU16(p, static_cast<uint16_t>(100 * k - 300));
    return p;
}

struct BlockVector {
    const char* name;
    Bytes packet;
    std::string text;  // the block of the item that follows the packet
};

TEST(DtLog, OnePacketOfEachSourceKind) {
    const BlockVector vectors[] = {
        // 12345 / 1000 as a float is 12.3450003: "12.35". -2500 / 1000 in integers is -2.
        // 19088743 is odd and above 2^24: the float rounds the tie to the even 19088744.
        {"scalars",
         Compact(4, Concat({Scalar(0x7F010001, 12345), Scalar(0x7F01800B, -5),
                            Scalar(0x7F010102, -2500), Scalar(0x7F018309, 19088743)})),
         "DM\t12.35" + Tabs(4) + "\t-5" + Tabs(16) + "\n" + "C1XSMI\t-2" + Tabs(19) + "\n" +
             "CEVS" + Tabs(8) + "\t19088744\t\n"},
        // Words w0..w11 = -300..800; AP takes w4 w5 w8 w10 w9 w11 w7 w6, PCP w1 w0 w2 w3, and
        // the i32 70000 of 0x7F0107D3, later in the list, replaces w2 in PCP field 2.
        {"structured",
         Compact(2, Concat({Blob(0x7F0107D2, PowerWordsPayload()),
                            Blob(0x7F0107D3, {0x70, 0x11, 0x01, 0x00})})),
         "AP\t100\t200\t500\t700\t600\t800\t400\t300\t\t\n"
         "PCP\t-200\t-300\t70000\t0" +
             Tabs(7) + "\n"},
        // PSM: n = 3; pilots 12 300 65535, then the set digits 0 1 1; levels -15/2, -7/2 and
        // -0/2 (a negative zero). ASFI: pilot 600 and -1 are outside 0..511; 16777217 rounds
        // to 16777216; -3.125 ties to even, 1e40 is beyond the float range, the float nearest
        // 2.005 is 2.0050001. HOP field 7 is the u16 258 at the start of the pilot status.
        {"lists",
         Compact(3, Concat({Blob(0x7F0107D4, PilotStatusPayload()),
                            Blob(0x7F0107D5, ActiveSetPayload()), Scalar(0x7F01830C, 4)})),
         "ASFI\t3\t5 \t70000 -1 16777216 \t\t-3.12 inf 2.01 " + Tabs(8) + "\n" +
             "PSM\t3\t12 300 65535 0 1 1 \t-7.50 -3.50 -0.00 " + Tabs(5) + "\t4\t\n" + "HOP" +
             Tabs(7) + "\t258" + Tabs(4) + "\n"},
        // Paging channel, message type 6: received ("0") on channel "1"; the dump is the log
        // record from its length word: 1000 0710, the stamp of tick 0x102, the payload
        // unescaped.
        {"signalling", Frame(LogPacket(0x1007, {0x04, 0x06, 0x7E, 0x7D}, 0x102)),
         "CL3\t0\t1\t10000710000002010000000004067e7d\n"},
    };
    for (const BlockVector& v : vectors) {
        TestHost host;
        ASSERT_TRUE(host.Configure(kDtLogOn));
        ASSERT_EQ(host.FeedAndCollect(Concat({v.packet, kCarrier})), 2) << v.name;
        EXPECT_EQ(DtLog(host, 0), "") << v.name;
        EXPECT_EQ(DtLog(host, 1), v.text) << v.name;
    }
}

TEST(DtLog, TextLagsOneItemAndIsNullWhileOff) {
    const Bytes setsDm = Compact(1, Scalar(0x7F010001, 1000));
    const Bytes setsCevs = Compact(1, Scalar(0x7F018301, 7));
    const std::string dm = "DM\t1.00" + Tabs(21) + "\n";
    const std::string cevs = "CEVS\t7" + Tabs(9) + "\n";

    TestHost host;
    ASSERT_TRUE(host.Configure(kDtLogOn));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsDm, kCarrier, setsCevs, kCarrier})), 4);
    EXPECT_EQ(DtLog(host, 0), "");
    EXPECT_EQ(DtLog(host, 1), dm);
    EXPECT_EQ(DtLog(host, 2), "");  // the carrier before it set nothing
    EXPECT_EQ(DtLog(host, 3), cevs);

    // Off: no block at all. On again: the first item does not carry the text built before.
    ASSERT_EQ(host.FeedAndCollect(setsDm), 1);
    ASSERT_TRUE(host.Configure(kDtLogOff));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsCevs, kCarrier})), 2);
    EXPECT_EQ(GetReportItemDTLogBinary(host.Handle(), 0), nullptr);
    EXPECT_EQ(GetReportItemDTLogBinary(host.Handle(), 1), nullptr);
    ASSERT_TRUE(host.Configure(kDtLogOn));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsCevs, kCarrier})), 2);
    EXPECT_EQ(DtLog(host, 0), "");
    EXPECT_EQ(DtLog(host, 1), cevs);
}

}  // namespace
}  // namespace tessavo::test

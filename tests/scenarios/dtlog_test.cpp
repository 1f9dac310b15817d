// DTLog text as a host reads it: each item's block renders the fresh parameters of the packet
// before it. Parameters are set through compact packets (log code 0xFFFE), which publish
// scalar and structured parameters by ID; expected texts are worked out from those values.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

std::string Tabs(int n) {
    return std::string(static_cast<size_t>(n), '\t');
}

// One entry of a compact packet: ID, size, value (u32 for scalars, the blob for structured).
Bytes Entry(uint32_t id, const Bytes& value) {
    Bytes b;
    PutU32(b, id);
    PutU32(b, static_cast<uint32_t>(value.size()));
    return Concat({b, value});
}
Bytes Entry(uint32_t id, int32_t value) {
    Bytes v;
    PutU32(v, static_cast<uint32_t>(value));
    return Entry(id, v);
}

Bytes Compact(std::initializer_list<Bytes> entries) {
    Bytes b;
    for (uint32_t w : {0xFF0F0010u, 4u, static_cast<uint32_t>(entries.size())}) PutU32(b, w);
    for (const Bytes& e : entries) b = Concat({b, e});
    return Frame(LogPacket(0xFFFE, b));
}

const Bytes kSetsNothing = Frame(LogPacket(0x1000, {}));

std::string DtLog(const TestHost& host, int32_t i) {
    const Bytes b = host.BlockBytes(GetReportItemDTLogBinary(host.Handle(), i));
    return std::string(b.begin(), b.end());
}

Bytes U16s(std::initializer_list<int> values, size_t size) {
    Bytes b;
    for (int v : values) PutU16(b, static_cast<uint16_t>(v));
    b.resize(size, 0);
    return b;
}

// Pilot status: u16 258, counts 1, 2 and 0, then the elements (12, 15), (300, 7), (65535, 0).
Bytes PilotStatus() {
    Bytes p = {0x02, 0x01, 1, 2, 0};
    return Concat({p, U16s({12, 15, 300, 7, 65535, 0}, 256)});
}

Bytes ActiveSet() {  // count 3; elements (pilot, level, word)
    Bytes p;
    PutU32(p, 3);
    const std::tuple<int16_t, double, int32_t> elements[] = {
        {5, -3.125, 70000}, {600, 1e40, -1}, {-1, 2.005, 16777217}};
    for (const auto& [pn, level, word] : elements) {
        PutU16(p, static_cast<uint16_t>(pn));
        PutU64(p, std::bit_cast<uint64_t>(level));
        PutU32(p, static_cast<uint32_t>(word));
    }
    p.resize(172, 0);
    return p;
}

TEST(DtLog, OnePacketOfEachSourceKind) {
    const struct {
        Bytes packet;
        std::string text;  // the block of the item that follows the packet
    } vectors[] = {
        // 12345 / 1000 as a float is 12.3450003: "12.35". -2500 / 1000 in integers is -2.
        // 19088743 is odd and above 2^24: the float rounds the tie to the even 19088744.
        {Compact({Entry(0x7F010001, 12345), Entry(0x7F01800B, -5), Entry(0x7F010102, -2500),
                  Entry(0x7F018309, 19088743)}),
         "DM\t12.35" + Tabs(4) + "\t-5" + Tabs(16) + "\nC1XSMI\t-2" + Tabs(19) + "\nCEVS" +
             Tabs(8) + "\t19088744\t\n"},
        // i16 words w0..w11 = -300..800: AP takes w4 w5 w8 w10 w9 w11 w7 w6, PCP w1 w0 w2 w3;
        // the i32 70000 of 0x7F0107D3, later in the list, replaces w2 in PCP field 2.
        {Compact({Entry(0x7F0107D2,
                        U16s({-300, -200, -100, 0, 100, 200, 300, 400, 500, 600, 700, 800}, 24)),
                  Entry(0x7F0107D3, 70000)}),
         "AP\t100\t200\t500\t700\t600\t800\t400\t300\t\t\nPCP\t-200\t-300\t70000\t0" + Tabs(7) +
             "\n"},
        // ASFI: pilots 600 and -1 are outside 0..511; 16777217 rounds to 16777216; -3.125
        // ties to even, 1e40 is past the float range, the float nearest 2.005 is 2.0050001.
        // PSM: n = 3; the pilots, then the set digits 0 1 1; levels -15/2, -7/2 and -0/2 (a
        // negative zero). HOP field 7 is the u16 258 at the start of the pilot status.
        {Compact({Entry(0x7F0107D4, PilotStatus()), Entry(0x7F0107D5, ActiveSet()),
                  Entry(0x7F01830C, 4)}),
         "ASFI\t3\t5 \t70000 -1 16777216 \t\t-3.12 inf 2.01 " + Tabs(8) +
             "\nPSM\t3\t12 300 65535 0 1 1 \t-7.50 -3.50 -0.00 " + Tabs(5) + "\t4\t\nHOP" +
             Tabs(7) + "\t258" + Tabs(4) + "\n"},
        // Paging channel: received "0" on channel "1"; the log record from its length word:
        // 1000 0710, the stamp of tick 0x102 (0x102 << 16), the payload unescaped.
        {Frame(LogPacket(0x1007, {0x04, 0x06, 0x7E, 0x7D}, 0x102)),
         "CL3\t0\t1\t10000710000002010000000004067e7d\n"},
    };
    for (const auto& v : vectors) {
        TestHost host;
        ASSERT_TRUE(host.Configure(0xA0001));
        ASSERT_EQ(host.FeedAndCollect(Concat({v.packet, kSetsNothing})), 2);
        EXPECT_EQ(DtLog(host, 0), "");
        EXPECT_EQ(DtLog(host, 1), v.text);
    }
}

TEST(DtLog, TextLagsOneItemAndIsNullWhileOff) {
    const Bytes setsDm = Compact({Entry(0x7F010001, 1000)});
    const Bytes setsCevs = Compact({Entry(0x7F018301, 7)});
    const std::string cevs = "CEVS\t7" + Tabs(9) + "\n";
    TestHost host;
    ASSERT_TRUE(host.Configure(0xA0001));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsDm, kSetsNothing, setsCevs, kSetsNothing})), 4);
    EXPECT_EQ(DtLog(host, 0), "");
    EXPECT_EQ(DtLog(host, 1), "DM\t1.00" + Tabs(21) + "\n");
    EXPECT_EQ(DtLog(host, 2), "");
    EXPECT_EQ(DtLog(host, 3), cevs);

    // Off: no block. On again: the first item does not carry the text built before.
    ASSERT_EQ(host.FeedAndCollect(setsDm), 1);
    ASSERT_TRUE(host.Configure(0xA0002));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsCevs, kSetsNothing})), 2);
    EXPECT_EQ(GetReportItemDTLogBinary(host.Handle(), 1), nullptr);
    ASSERT_TRUE(host.Configure(0xA0001));
    ASSERT_EQ(host.FeedAndCollect(Concat({setsCevs, kSetsNothing})), 2);
    EXPECT_EQ(DtLog(host, 0), "");
    EXPECT_EQ(DtLog(host, 1), cevs);
}

// The public CDMA capture as a host feeds it, with DTLog on: CL3 lines of signalling logs
// checked against the packet bytes by hand.
struct CapturedItem {
    std::string record;  // the OutFile log record, as hex
    std::string cl3;     // the CL3 line of the item's DTLog block, or empty
};

std::string Hex(const Bytes& b) {
    std::string s;
    for (uint8_t v : b) s += {"0123456789abcdef"[v >> 4], "0123456789abcdef"[v & 0x0F]};
    return s;
}

std::string Cl3Line(const Bytes& block) {
    const std::string text(block.begin(), block.end());
    const size_t at = text.find("CL3\t");
    return at == std::string::npos ? "" : text.substr(at, text.find('\n', at) + 1 - at);
}

TEST(DtLogCapture, SignallingLogsGiveTheirCl3LineToTheNextItem) {
    const auto path = std::filesystem::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "capture folder absent";
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TestHost host;
    host.Configure(0x20001);  // OutFile records identify the packets
    host.Configure(0xA0001);
    std::vector<CapturedItem> items;
    for (size_t at = 0; at < file.size(); at += 4096) {
        const Bytes chunk(file.begin() + at, file.begin() + std::min(file.size(), at + 4096));
        const int32_t n = host.FeedAndCollect(chunk);
        for (int32_t i = 0; i < n; ++i) {
            int32_t status = 0;
            items.push_back(
                {Hex(host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, i))),
                 Cl3Line(host.BlockBytes(GetReportItemDTLogBinary(host.Handle(), i)))});
        }
    }

    // Each packet unescaped is 10 00, its outer length, the log record, two check bytes and
    // 7E; the record (quoted below as the item's OutFile record) is the dump: positions 4 to
    // L - 4, L counting the check bytes and the flag. The text rides on the next item.
    const struct {
        const char* record;
        const char* fields;  // direction and 1x channel
    } cases[] = {
        // Frame 6426, paging channel 0x1007 (received "0", paging "1"): 10 00 1c 00, the
        // record with its payload byte 7e sent as 7d 5e, then 0d 16 7e.
        {"1c000710b53e00a15252d100100c3b4a01a869b8f8060100297eca0a", "CL3\t0\t1\t"},
        // Frame 6301, second-interface signalling 0x107C (received, no 1x channel): 10 00 26
        // 00, the record, 79 10 7e.
        {"26007c100d13ad9a5252d1000132004e00000200ffff010f00ef026001001c029a0157ea0820",
         "CL3\t0\t\t"},
        // Frame 6421, access channel 0x1004 (sent "1", access "0"): 10 00 28 00, the
        // record, f4 cd 7e.
        {"2800041038a297a05252d1001c418f10730193922a01a39cd40291668ba0003e0281aea1ae60cd78",
         "CL3\t1\t0\t"},
    };
    for (const auto& c : cases) {
        const auto it = std::find_if(items.begin(), items.end(),
                                     [&](const CapturedItem& i) { return i.record == c.record; });
        ASSERT_TRUE(it != items.end() && it + 1 != items.end()) << c.record;
        EXPECT_EQ((it + 1)->cl3, std::string(c.fields) + c.record + "\n");
    }
    // 1216 signalling logs: 0x1004 x2, 0x1006 x4, 0x1007 x155, 0x1076 x21, 0x1077 x105,
    // 0x1078 x12, 0x1079 x163, 0x107C x754; the 155 paging-channel lines say "0\t1".
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](auto& i) { return !i.cl3.empty(); }),
              1216);
    EXPECT_EQ(std::count_if(items.begin(), items.end(),
                            [](auto& i) { return i.cl3.starts_with("CL3\t0\t1\t"); }),
              155);
}

}  // namespace
}  // namespace tessavo::test

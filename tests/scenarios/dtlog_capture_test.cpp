// The public CDMA capture decoded with DTLog on, fed as a host feeds it: the CL3 lines of
// signalling logs, checked against the packet bytes by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_host.h"

namespace tessavo::test {
namespace {

const std::filesystem::path kCapture =
    std::filesystem::path(TESSAVO_CAPTURES_DIR) / "sprint_2015.mi2log";

struct CapturedItem {
    std::string record;  // the OutFile log record, as hex
    std::string cl3;     // the CL3 line of the item's DTLog block, or empty
};

std::string Hex(const Bytes& b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string s;
    for (uint8_t v : b) {
        s += kDigits[v >> 4];
        s += kDigits[v & 0x0F];
    }
    return s;
}

std::string Cl3Line(const Bytes& block) {
    const std::string text(block.begin(), block.end());
    const size_t at = text.rfind("CL3\t");  // a record line starts the text or follows an LF
    if (at == std::string::npos || (at != 0 && text[at - 1] != '\n')) return {};
    return text.substr(at, text.find('\n', at) + 1 - at);
}

std::vector<CapturedItem> DecodeWithDtLog(const Bytes& file) {
    TestHost host;
    host.Configure(0x20001);  // OutFile records identify the packets
    host.Configure(0xA0001);
    std::vector<CapturedItem> items;
    constexpr size_t kChunk = 65536;
    for (size_t at = 0; at < file.size(); at += kChunk) {
        const uint8_t* p = file.data() + at;
        int32_t len = static_cast<int32_t>(std::min(kChunk, file.size() - at));
        for (;;) {
            const int32_t left = DecodeMsgProc_NoDynamic(host.Handle(), p, len, 1439000000, 0);
            const int32_t n = host.Collect();
            for (int32_t i = 0; i < n; ++i) {
                int32_t status = 0;
                items.push_back(
                    {Hex(host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, i))),
                     Cl3Line(host.BlockBytes(GetReportItemDTLogBinary(host.Handle(), i)))});
            }
            if (left <= 0) break;
            p += len - left;
            len = left;
        }
    }
    return items;
}

struct HandWorked {
    const char* record;  // the log record of the packet (length word to last payload byte)
    const char* cl3;     // the line the next item carries
};

TEST(DtLogCapture, SignallingLogsGiveTheirCl3LineToTheNextItem) {
    if (!std::filesystem::exists(kCapture)) GTEST_SKIP() << "capture folder absent";
    std::ifstream in(kCapture, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::vector<CapturedItem> items = DecodeWithDtLog(file);

    // Each packet below is quoted from the capture, unescaped: header 10 00 LL LL, then the
    // record, then two check bytes and 7E. The dump is the record: packet positions 4 to L - 4
    // with L counting the check bytes and the flag.
    const HandWorked cases[] = {
        // Frame 6319, paging channel (log code 0x1007): 10 00 19 00 | 19 00 07 10 cb 3f e0 9c
        // 52 52 d1 00 0d 1b 27 1a 60 64 25 8c 80 0d cb 6b ec | a3 ea 7e. Received: "0";
        // paging channel: "1"; record length 0x19 = 25 bytes dumped.
        {"19000710cb3fe09c5252d1000d1b271a6064258c800dcb6bec",
         "CL3\t0\t1\t19000710cb3fe09c5252d1000d1b271a6064258c800dcb6bec\n"},
        // Frame 6426, paging channel, sent with 7D 5E for the payload byte 7E: the dump holds
        // 7e. 10 00 1c 00 | 1c 00 07 10 b5 3e 00 a1 52 52 d1 00 10 0c 3b 4a 01 a8 69 b8 f8 06
        // 01 00 29 7e ca 0a | 0d 16 7e.
        {"1c000710b53e00a15252d100100c3b4a01a869b8f8060100297eca0a",
         "CL3\t0\t1\t1c000710b53e00a15252d100100c3b4a01a869b8f8060100297eca0a\n"},
        // Frame 6301, second-interface signalling (log code 0x107C, message code 0x107C0F00):
        // received, no 1x channel: field 1 empty. 10 00 26 00 | 26 00 7c 10 0d 13 ad 9a 52 52
        // d1 00 01 32 00 4e 00 00 02 00 ff ff 01 0f 00 ef 02 60 01 00 1c 02 9a 01 57 ea 08 20
        // | 79 10 7e.
        {"26007c100d13ad9a5252d1000132004e00000200ffff010f00ef026001001c029a0157ea0820",
         "CL3\t0\t\t26007c100d13ad9a5252d1000132004e00000200ffff010f00ef026001001c029a0157ea0820"
         "\n"},
        // Frame 6421, access channel (log code 0x1004): sent by the handset, "1"; access
        // channel "0". 10 00 28 00 | 28 00 04 10 38 a2 97 a0 52 52 d1 00 1c 41 8f 10 73 01 93
        // 92 2a 01 a3 9c d4 02 91 66 8b a0 00 3e 02 81 ae a1 ae 60 cd 78 | f4 cd 7e.
        {"2800041038a297a05252d1001c418f1073019392"
         "2a01a39cd40291668ba0003e0281aea1ae60cd78",
         "CL3\t1\t0\t2800041038a297a05252d1001c418f1073019392"
         "2a01a39cd40291668ba0003e0281aea1ae60cd78\n"},
    };
    for (const HandWorked& c : cases) {
        const auto it = std::find_if(items.begin(), items.end(),
                                     [&](const CapturedItem& i) { return i.record == c.record; });
        ASSERT_NE(it, items.end()) << c.record;
        ASSERT_NE(it + 1, items.end());
        EXPECT_EQ((it + 1)->cl3, c.cl3);
    }

    // The capture holds 1216 signalling logs (0x1004 x2, 0x1006 x4, 0x1007 x155, 0x1076 x21,
    // 0x1077 x105, 0x1078 x12, 0x1079 x163, 0x107C x754); the 155 paging-channel ones say "1".
    const auto lines = std::count_if(items.begin(), items.end(),
                                     [](const CapturedItem& i) { return !i.cl3.empty(); });
    const auto paging = std::count_if(items.begin(), items.end(), [](const CapturedItem& i) {
        return i.cl3.rfind("CL3\t0\t1\t", 0) == 0;
    });
    EXPECT_EQ(lines, 1216);
    EXPECT_EQ(paging, 155);
}

}  // namespace
}  // namespace tessavo::test

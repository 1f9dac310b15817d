// Decodes the public captures as a host does (chunks through DecodeMsgProc_NoDynamic, collect
// after every call, re-feed the unconsumed tail) and checks the items per log code against a
// frame scan of this test's own: good CRC, long enough, not ignored, sampling applied.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "dispatch/log_routes.h"
#include "framing/crc16.h"
#include "framing/hdlc.h"
#include "decoders/decoder_context.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

std::filesystem::path CapturePath(const std::string& name) {
    return std::filesystem::path(TESSAVO_CAPTURES_DIR) / name;
}

Bytes ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Expected items per log code, from a scan that splits on 0x7E and unescapes by itself.
std::map<uint16_t, int> ExpectedLogItems(const Bytes& file) {
    std::map<uint16_t, int> counts;
    std::map<uint16_t, uint64_t> lastTicks;
    Bytes packet;
    Bytes raw;
    for (uint8_t b : file) {
        raw.push_back(b);
        if (b != 0x7E) {
            if (raw.size() >= 7168) raw.clear();
            continue;
        }
        const Bytes frame = raw;
        raw.clear();
        if (frame.size() >= 7168) continue;
        packet.clear();
        for (size_t i = 0; i < frame.size(); ++i) {
            if (frame[i] == 0x7D && i + 1 < frame.size() && (frame[i + 1] == 0x5D || frame[i + 1] == 0x5E)) {
                packet.push_back(frame[++i] ^ 0x20);
            } else {
                packet.push_back(frame[i]);
            }
        }
        const size_t l = packet.size();  // check bytes and flag included
        if (l < 19 || packet[0] != 0x10) continue;
        const uint16_t code = static_cast<uint16_t>(packet[6] | packet[7] << 8);
        if (VerifyCrc16(packet.data(), l - 1) == 0 && code != 0xFFFE) continue;
        const LogRoute* route = FindLogRoute(code);
        if (route != nullptr && route->kind == RouteKind::Ignore) continue;
        if (code == 0x1036 || code == 0x1037 || code == 0x108A) {
            ADD_FAILURE() << "scan does not model code " << std::hex << code;
        }
        if (route != nullptr && route->sampling != kNotSampled) {
            uint64_t stamp = 0;
            for (int k = 7; k >= 0; --k) stamp = stamp << 8 | packet[8 + static_cast<size_t>(k)];
            const uint64_t ticks = stamp >> 16;  // 1.25 ms units
            const double interval = kSamplingIntervals[static_cast<size_t>(route->sampling)];
            auto last = lastTicks.find(code);
            if (last != lastTicks.end()) {
                const double elapsed = (static_cast<double>(ticks) - static_cast<double>(last->second)) * 0.00125;
                if (!(elapsed - interval > -0.00001 || elapsed < 0)) continue;
            }
            lastTicks[code] = ticks;
        }
        ++counts[code];
    }
    return counts;
}

struct Decoded {
    std::map<uint16_t, int> logItems;  // by the log code of the item's OutFile record
    int items = 0;
};

Decoded DecodeAsAHost(const Bytes& file, size_t chunk) {
    TestHost host;
    host.Configure(0x20001);  // OutFile records carry the log code
    Decoded d;
    auto collect = [&] {
        const int32_t n = host.Collect();
        for (int32_t i = 0; i < n; ++i) {
            ++d.items;
            int32_t status = 0;
            const Bytes rec = host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, i));
            if (rec.size() >= 4) ++d.logItems[static_cast<uint16_t>(rec[2] | rec[3] << 8)];
        }
    };
    for (size_t at = 0; at < file.size(); at += chunk) {
        const uint8_t* p = file.data() + at;
        int32_t len = static_cast<int32_t>(std::min(chunk, file.size() - at));
        for (;;) {
            const int32_t left = DecodeMsgProc_NoDynamic(host.Handle(), p, len, 1439000000, 0);
            collect();
            EXPECT_GE(left, 0);
            if (left <= 0) break;
            p += len - left;
            len = left;
        }
    }
    return d;
}

class RealCapture : public ::testing::TestWithParam<std::string> {};

TEST_P(RealCapture, ItemsPerLogCodeMatchAnIndependentScan) {
    const auto path = CapturePath(GetParam());
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "capture folder absent";
    const Bytes file = ReadFile(path);
    const std::map<uint16_t, int> expected = ExpectedLogItems(file);
    const Decoded got = DecodeAsAHost(file, 65536);
    // Commands and packed sub-packets have no log code in their OutFile record; the 0x3040 /
    // 0x3063 tags of command responses 0x40 / 0x63 are not log packets of the file.
    std::map<uint16_t, int> logs = got.logItems;
    logs.erase(0x3040);
    logs.erase(0x3063);
    EXPECT_EQ(logs, expected);
    EXPECT_GT(got.items, 0);
}

INSTANTIATE_TEST_SUITE_P(Captures, RealCapture,
                         ::testing::Values("sprint_2015.mi2log", "att_iphone_2016.mi2log",
                                           "cmcc_2015.mi2log", "pixel5_2023_multiradio.qmdl",
                                           "qmdl_example.qmdl"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n) {
                                 if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return n;
                         });

TEST(RealCaptureSprint, ChunkSizeDoesNotChangeTheItems) {
    const auto path = CapturePath("sprint_2015.mi2log");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "capture folder absent";
    const Bytes file = ReadFile(path);
    const Bytes head(file.begin(), file.begin() + std::min<size_t>(file.size(), 200000));
    const Decoded whole = DecodeAsAHost(head, head.size());
    for (size_t chunk : {1u, 7u, 4096u}) {
        const Decoded pieces = DecodeAsAHost(head, chunk);
        EXPECT_EQ(pieces.items, whole.items) << chunk;
        EXPECT_EQ(pieces.logItems, whole.logItems) << chunk;
    }
}

}  // namespace
}  // namespace tessavo::test

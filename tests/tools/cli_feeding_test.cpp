// The feeding loop: chunk sizes, the ring filling up inside one call, several inputs,
// standard input, and the one-frame-per-call modes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

// Three items: 0x1062 (words 1..5), 0x107D (no decoder: accepted without parameters) and
// 0x1062 again. Around them: a lone 0x7E, a frame with a bad CRC, garbage closed by a 0x7E,
// escaped bytes, and an unfinished frame at the end.
Bytes MixedCapture() {
    Bytes unfinished = LogFrame(0x1062, 804, Words({7, 7, 7, 7, 7}));
    unfinished.resize(10);
    return Concat({
        Bytes{0x7E},
        LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5})),
        LogFrame(0x107D, 801, Bytes{0x7E, 0x7D, 0x00}),
        FrameWithCheck(LogPacket(0x1062, 802, Words({9, 9, 9, 9, 9})), 0x0000),
        Bytes{0x11, 0x22, 0x7E},
        LogFrame(0x1062, 803, Words({0x7E, 0x7D, 0x7E7D, 4, 5})),
        unfinished,
    });
}

// The three items, escaped bytes restored; and every way of handing the same bytes over
// gives the same items: any chunk size (1 splits every escape pair), one frame per call,
// standard input, and the capture split over two files in the middle of its second frame.
TEST(CliFeeding, MixedCaptureGivesTheThreeItemsWhateverTheFeeding) {
    const Bytes capture = MixedCapture();
    const std::string asText(capture.begin(), capture.end());
    TempFile whole(capture);
    const size_t cut = 1 + LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5})).size() + 5;
    TempFile first(Bytes(capture.begin(), capture.begin() + static_cast<long>(cut)));
    TempFile second(Bytes(capture.begin() + static_cast<long>(cut), capture.end()));
    const CliRun reference = RunTool({whole.Path()});
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_EQ(reference.err, "");
    std::vector<Json> items = JsonLines(reference.out);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]["params"][4]["raw"], 5);
    EXPECT_EQ(items[1]["msg_code"], "0xb101107d");
    EXPECT_EQ(items[1]["params"], Json::array());
    EXPECT_EQ(items[2]["params"][0]["raw"], 0x7E);
    EXPECT_EQ(items[2]["params"][2]["raw"], 0x7E7D);
    EXPECT_EQ(items[2]["time"], "1980-01-06T00:00:01.003750Z");

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--chunk-size", "1", whole.Path()}, ""},
        {{"--chunk-size", "2", whole.Path()}, ""},
        {{"--chunk-size", "3", whole.Path()}, ""},
        {{"--chunk-size", "7", whole.Path()}, ""},
        {{"--chunk-size", "64", whole.Path()}, ""},
        {{"--whole-frames", whole.Path()}, ""},
        {{"-"}, asText},
        {{}, asText},
        {{first.Path(), second.Path()}, ""},
    };
    for (const auto& [args, input] : cases) {
        CliRun run = RunTool(args, input);
        EXPECT_EQ(run.status, 0) << ::testing::PrintToString(args);
        EXPECT_EQ(run.out, reference.out) << ::testing::PrintToString(args);
    }
}

// 700 packets in one call: the ring holds 300 items, so the library stops early and
// answers how many bytes to hand over again. No item may be lost or repeated.
TEST(CliFeeding, AFullRingIsCollectedAndTheTailFedAgain) {
    constexpr uint32_t kCount = 700;
    Bytes capture;
    for (uint32_t i = 0; i < kCount; ++i) {
        Bytes frame = LogFrame(0x1062, 800 + i, Words({i, 0, 0, 0, i * 2}));
        capture.insert(capture.end(), frame.begin(), frame.end());
    }
    ASSERT_LT(capture.size(), 65536u);  // one chunk
    TempFile file(capture);
    for (const char* size : {"65536", "4096"}) {
        CliRun run = RunTool({"--chunk-size", size, "--format", "csv", file.Path()});
        ASSERT_EQ(run.status, 0) << run.err;
        std::vector<std::string> rows = Lines(run.out);
        ASSERT_EQ(rows.size(), kCount + 1) << size;
        for (uint32_t i = 0; i < kCount; ++i) {
            const std::string& row = rows[i + 1];
            const std::string end =
                ",0x1062,2," + std::to_string(i) + ",0,0,0," + std::to_string(i * 2);
            ASSERT_EQ(row.rfind(std::to_string(i) + ",", 0), 0u) << row;
            ASSERT_EQ(row.substr(row.size() - end.size()), end) << row;
        }
    }
}

TEST(CliFeeding, RawPacketsSkipTheCrcCheck) {
    // No byte of this frame needs escaping, so it reads the same unescaped.
    Bytes badCheck = FrameWithCheck(LogPacket(0x1062, 800, Words({1, 2, 3, 4, 5})), 0x0101);
    TempFile capture(Concat({badCheck, LogFrame(0x1062, 801, Words({6, 7, 8, 9, 10}))}));
    std::vector<Json> checked = JsonLines(RunTool({capture.Path()}).out);
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0]["params"][0]["raw"], 6);
    std::vector<Json> raw = JsonLines(RunTool({"--raw-packets", capture.Path()}).out);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_EQ(raw[0]["params"][0]["raw"], 1);
    EXPECT_EQ(raw[1]["params"][0]["raw"], 6);
}

}  // namespace
}  // namespace tessavo::cli::test

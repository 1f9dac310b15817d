// The feeding loop: chunk sizes, the ring filling up inside one call, several inputs,
// standard input, and the one-frame-per-call modes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "cli_harness.h"

namespace tessavo::cli::test {
namespace {

using Json = nlohmann::json;

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

std::vector<Json> ParseLines(const std::string& text) {
    std::vector<Json> items;
    for (const std::string& line : Lines(text)) items.push_back(Json::parse(line));
    return items;
}

TEST(CliFeeding, MixedCaptureGivesTheThreeItems) {
    TempFile capture(MixedCapture());
    CliRun run = RunTool({capture.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    std::vector<Json> items = ParseLines(run.out);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]["log_code"], "0x1062");
    EXPECT_EQ(items[0]["params"][4]["raw"], 5);
    EXPECT_EQ(items[1]["log_code"], "0x107d");
    EXPECT_EQ(items[1]["msg_code"], "0xb101107d");
    EXPECT_EQ(items[1]["params"], Json::array());
    EXPECT_EQ(items[2]["params"][0]["raw"], 0x7E);
    EXPECT_EQ(items[2]["params"][2]["raw"], 0x7E7D);
    EXPECT_EQ(items[2]["time"], "1980-01-06T08:00:01.003750+08:00");
}

TEST(CliFeeding, ItemsAreTheSameWhateverTheChunkSize) {
    TempFile capture(MixedCapture());
    CliRun reference = RunTool({capture.Path()});
    ASSERT_EQ(reference.status, 0);
    ASSERT_EQ(Lines(reference.out).size(), 3u);
    for (const char* size : {"1", "2", "3", "7", "16", "64"}) {
        CliRun run = RunTool({"--chunk-size", size, capture.Path()});
        EXPECT_EQ(run.status, 0) << size;
        EXPECT_EQ(run.out, reference.out) << "chunk size " << size;
    }
}

// 700 packets in one call: the ring holds 300 items, so the library stops early and
// answers how many bytes to hand over again. No item may be lost or repeated.
TEST(CliFeeding, AFullRingIsCollectedAndTheTailFedAgain) {
    Bytes capture;
    constexpr uint32_t kCount = 700;
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
        EXPECT_EQ(rows[0],
                  "index,time,msg_code,log_code,direction,rec1062_word1,rec1062_word2,"
                  "rec1062_word3,rec1062_word4,rec1062_word5");
        for (uint32_t i = 0; i < kCount; ++i) {
            const std::string& row = rows[i + 1];
            std::string expectedStart = std::to_string(i) + ",";
            std::string expectedEnd =
                ",0xb1011062,0x1062,2," + std::to_string(i) + ",0,0,0," + std::to_string(i * 2);
            ASSERT_EQ(row.rfind(expectedStart, 0), 0u) << row;
            ASSERT_EQ(row.substr(row.size() - expectedEnd.size()), expectedEnd) << row;
        }
    }
}

TEST(CliFeeding, StandardInputAndSplitFilesDecodeAsOneCapture) {
    Bytes capture = MixedCapture();
    TempFile whole(capture);
    CliRun reference = RunTool({whole.Path()});
    ASSERT_EQ(reference.status, 0);

    CliRun piped = RunTool({"-"}, AsString(capture));
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, reference.out);
    CliRun implicit = RunTool({}, AsString(capture));
    EXPECT_EQ(implicit.out, reference.out);

    // Split in the middle of the second frame: the partial frame continues in the next file.
    size_t cut = 1 + LogFrame(0x1062, 800, Words({1, 2, 3, 4, 5})).size() + 5;
    TempFile first(Bytes(capture.begin(), capture.begin() + static_cast<long>(cut)));
    TempFile second(Bytes(capture.begin() + static_cast<long>(cut), capture.end()));
    CliRun split = RunTool({first.Path(), second.Path()});
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(split.out, reference.out);
}

TEST(CliFeeding, RawPacketsSkipTheCrcCheck) {
    // No byte of this frame needs escaping, so it reads the same unescaped.
    Bytes badCheck = FrameWithCheck(LogPacket(0x1062, 800, Words({1, 2, 3, 4, 5})), 0x0101);
    TempFile capture(Concat({badCheck, LogFrame(0x1062, 801, Words({6, 7, 8, 9, 10}))}));

    std::vector<Json> checked = ParseLines(RunTool({capture.Path()}).out);
    ASSERT_EQ(checked.size(), 1u);
    EXPECT_EQ(checked[0]["params"][0]["raw"], 6);

    CliRun run = RunTool({"--raw-packets", capture.Path()});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<Json> raw = ParseLines(run.out);
    ASSERT_EQ(raw.size(), 2u);
    EXPECT_EQ(raw[0]["params"][0]["raw"], 1);
    EXPECT_EQ(raw[1]["params"][0]["raw"], 6);
}

TEST(CliFeeding, WholeFramesGiveTheSameItemsAsTheStream) {
    TempFile capture(MixedCapture());
    CliRun stream = RunTool({capture.Path()});
    CliRun frames = RunTool({"--whole-frames", capture.Path()});
    ASSERT_EQ(frames.status, 0) << frames.err;
    EXPECT_EQ(frames.out, stream.out);
}

// Arbitrary bytes with terminators and escapes among them, and good frames in between:
// every run ends normally, every line is JSON, and the chunk size changes nothing.
TEST(CliFeeding, ArbitraryBytesDecodeCleanly) {
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes capture;
    for (int block = 0; block < 64; ++block) {
        for (int i = 0; i < 512; ++i) {
            int value = byte(random);
            // About one byte in sixteen closes a frame, one in sixteen is an escape.
            if (value < 16) value = 0x7E;
            if (value >= 240) value = 0x7D;
            capture.push_back(static_cast<uint8_t>(value));
        }
        Bytes frame = LogFrame(0x1062, 800 + static_cast<uint64_t>(block),
                               Words({static_cast<uint32_t>(block), 0, 0, 0, 0}));
        capture.push_back(0x7E);
        capture.insert(capture.end(), frame.begin(), frame.end());
    }
    TempFile file(capture);
    CliRun reference = RunTool({"--inherited", file.Path()});
    ASSERT_EQ(reference.status, 0) << reference.err;
    std::vector<Json> items = ParseLines(reference.out);
    // The 64 good frames at least; random frames with a matching CRC are not expected.
    EXPECT_GE(items.size(), 64u);
    for (const char* size : {"1", "13", "4096"}) {
        CliRun run = RunTool({"--inherited", "--chunk-size", size, file.Path()});
        EXPECT_EQ(run.status, 0) << size;
        EXPECT_EQ(run.out, reference.out) << size;
    }
    for (const char* mode : {"--raw-packets", "--whole-frames"}) {
        CliRun run = RunTool({mode, "--format", "summary", file.Path()});
        EXPECT_EQ(run.status, 0) << mode;
    }
}

}  // namespace
}  // namespace tessavo::cli::test

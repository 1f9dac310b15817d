#include "frame_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag_frames.h"

namespace tessavo::cli {
namespace {

using test::Bytes;

Bytes Ascii(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(FrameScan, CrcCheckValues) {
    EXPECT_EQ(Crc16X25(Ascii("123456789")), 0x906E);
    EXPECT_EQ(Crc16X25(Ascii("abc")), 0x9E25);
    EXPECT_EQ(Crc16X25({}), 0x0000);
}

TEST(FrameScan, PacketCrcVerifiesAndEveryBitFlipBreaksIt) {
    Bytes packet = test::LogPacket(0x1062, 800, test::Words({1, 2}));
    uint16_t crc = test::BitwiseCrc16(packet);
    packet.push_back(static_cast<uint8_t>(crc & 0xFF));
    packet.push_back(static_cast<uint8_t>(crc >> 8));
    EXPECT_TRUE(PacketCrcIsGood(packet));
    for (size_t i = 0; i < packet.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes damaged = packet;
            damaged[i] ^= static_cast<uint8_t>(1 << bit);
            EXPECT_FALSE(PacketCrcIsGood(damaged)) << "byte " << i << " bit " << bit;
        }
    }
    EXPECT_FALSE(PacketCrcIsGood(Bytes{0x12}));
}

TEST(FrameScan, Unescape) {
    EXPECT_EQ(UnescapeFrame(Bytes{0x7D, 0x5D, 0x7D, 0x5E, 0x7D, 0x41, 0x7E}),
              (Bytes{0x7D, 0x7E, 0x7D, 0x41, 0x7E}));
    EXPECT_EQ(UnescapeFrame(Bytes{0x01, 0x7D}), (Bytes{0x01, 0x7D}));
}

struct CountCase {
    const char* name;
    Bytes input;
    FrameCounts expected;
};

TEST(FrameScan, CountsFrames) {
    Bytes good = test::LogFrame(0x1062, 800, test::Words({1, 2, 3, 4, 5}));
    Bytes bad = test::FrameWithCheck(test::LogPacket(0x1062, 800, test::Words({1})), 0x1234);
    Bytes compact = test::EscapeAndTerminate(
        test::CompactPacket({800, 315964801, 0, 2, 0xB1011062, {{0x7F010001, 12345}}, 0xBEEF}));
    Bytes garbage = {0x01, 0x02, 0x03};
    // A log code whose low byte needs escaping: the scan unescapes before it checks.
    Bytes escaped = test::LogFrame(0x107E, 801, test::Words({0x7E7D7E7D}));
    Bytes oversized(kMaxFrameLength, 0x55);

    const std::vector<CountCase> cases = {
        {"one good frame", good, {1, 0, 0, 0, 0, 0}},
        {"good and escaped", test::Concat({good, escaped}), {2, 0, 0, 0, 0, 0}},
        {"bad check bytes", test::Concat({good, bad, good}), {3, 0, 1, 0, 0, 0}},
        {"compact frame", test::Concat({compact, good}), {2, 0, 0, 1, 0, 0}},
        {"empty frames", test::Concat({Bytes{0x7E}, good, Bytes{0x7E}}), {1, 2, 0, 0, 0, 0}},
        {"garbage before a frame fails its CRC", test::Concat({garbage, good}), {1, 0, 1, 0, 0, 0}},
        {"trailing bytes", test::Concat({good, garbage}), {1, 0, 0, 0, 0, 3}},
        {"no frame at all", garbage, {0, 0, 0, 0, 0, 3}},
        // 7168 bytes without 0x7E are dropped; the good frame after them is intact.
        {"oversized", test::Concat({oversized, good}), {1, 0, 0, 0, 1, 0}},
    };
    for (const CountCase& c : cases) {
        FrameScanner scanner;
        scanner.Feed(c.input);
        scanner.Finish();
        const FrameCounts& got = scanner.Counts();
        EXPECT_EQ(got.frames, c.expected.frames) << c.name;
        EXPECT_EQ(got.emptyFrames, c.expected.emptyFrames) << c.name;
        EXPECT_EQ(got.crcFailures, c.expected.crcFailures) << c.name;
        EXPECT_EQ(got.compactFrames, c.expected.compactFrames) << c.name;
        EXPECT_EQ(got.oversized, c.expected.oversized) << c.name;
        EXPECT_EQ(got.trailingBytes, c.expected.trailingBytes) << c.name;
    }
}

TEST(FrameScan, HandsEachFrameWithItsOffsetWhateverTheFeedSize) {
    Bytes first = test::LogFrame(0x1062, 800, test::Words({1}));
    Bytes second = test::LogFrame(0x1000, 801, Bytes{0x7E, 0x7D});
    Bytes input = test::Concat({Bytes{0x7E}, first, second});
    for (size_t step : {size_t{1}, size_t{2}, size_t{5}, input.size()}) {
        std::vector<std::pair<Bytes, uint64_t>> frames;
        FrameScanner scanner([&](std::span<const uint8_t> frame, uint64_t offset) {
            frames.emplace_back(Bytes(frame.begin(), frame.end()), offset);
        });
        for (size_t i = 0; i < input.size(); i += step) {
            scanner.Feed(
                std::span<const uint8_t>(input).subspan(i, std::min(step, input.size() - i)));
        }
        ASSERT_EQ(frames.size(), 2u) << "step " << step;
        EXPECT_EQ(frames[0].first, first);
        EXPECT_EQ(frames[0].second, 1u);
        EXPECT_EQ(frames[1].first, second);
        EXPECT_EQ(frames[1].second, 1 + first.size());
    }
}

}  // namespace
}  // namespace tessavo::cli

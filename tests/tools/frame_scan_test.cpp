#include "frame_scan.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "diag_frames.h"

namespace tessavo::cli {
namespace {

using test::Bytes;

TEST(FrameScan, CrcCheckValuesAndEveryBitFlipBreaksAPacket) {
    const std::string nine = "123456789";
    EXPECT_EQ(Crc16X25(Bytes(nine.begin(), nine.end())), 0x906E);
    EXPECT_EQ(Crc16X25({}), 0x0000);

    Bytes packet = test::LogPacket(0x1062, 800, test::Words({1, 2}));
    const uint16_t crc = test::BitwiseCrc16(packet);
    packet.insert(packet.end(), {static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)});
    EXPECT_TRUE(PacketCrcIsGood(packet));
    for (size_t i = 0; i < packet.size() * 8; ++i) {
        Bytes damaged = packet;
        damaged[i / 8] ^= static_cast<uint8_t>(1 << (i % 8));
        EXPECT_FALSE(PacketCrcIsGood(damaged)) << "byte " << i / 8 << " bit " << i % 8;
    }
    EXPECT_FALSE(PacketCrcIsGood(Bytes{0x12}));
}

TEST(FrameScan, Unescape) {
    EXPECT_EQ(UnescapeFrame(Bytes{0x7D, 0x5D, 0x7D, 0x5E, 0x7D, 0x41, 0x7E}),
              (Bytes{0x7D, 0x7E, 0x7D, 0x41, 0x7E}));
    EXPECT_EQ(UnescapeFrame(Bytes{0x01, 0x7D}), (Bytes{0x01, 0x7D}));
}

TEST(FrameScan, CountsFrames) {
    Bytes good = test::LogFrame(0x1062, 800, test::Words({1, 2, 3, 4, 5}));
    Bytes bad = test::FrameWithCheck(test::LogPacket(0x1062, 800, test::Words({1})), 0x1234);
    Bytes compact = test::EscapeAndTerminate(
        test::CompactPacket({800, 315964801, 0, 2, 0xB1011062, {{0x7F010001, 12345}}, 0xBEEF}));
    Bytes garbage = {0x01, 0x02, 0x03};
    // A log code whose low byte needs escaping: the scan unescapes before it checks.
    Bytes escaped = test::LogFrame(0x107E, 801, test::Words({0x7E7D7E7D}));
    Bytes oversized(kMaxFrameLength, 0x55);
    struct Case {
        const char* name;
        Bytes input;
        // frames, empty, bad CRC, compact, oversized, trailing bytes
        std::tuple<uint64_t, uint64_t, uint64_t, uint64_t, uint64_t, uint64_t> expected;
    };
    const std::vector<Case> cases = {
        {"good and escaped", test::Concat({good, escaped}), {2, 0, 0, 0, 0, 0}},
        {"bad check bytes", test::Concat({good, bad, good}), {3, 0, 1, 0, 0, 0}},
        {"compact frame", test::Concat({compact, good}), {2, 0, 0, 1, 0, 0}},
        {"empty frames", test::Concat({Bytes{0x7E}, good, Bytes{0x7E}}), {1, 2, 0, 0, 0, 0}},
        {"garbage before a frame fails its CRC", test::Concat({garbage, good}), {1, 0, 1, 0, 0, 0}},
        {"trailing bytes", test::Concat({good, garbage}), {1, 0, 0, 0, 0, 3}},
        // 7168 bytes without 0x7E are dropped; the good frame after them is intact.
        {"oversized", test::Concat({oversized, good}), {1, 0, 0, 0, 1, 0}},
    };
    for (const Case& c : cases) {
        FrameScanner scanner;
        scanner.Feed(c.input);
        scanner.Finish();
        const FrameCounts& got = scanner.Counts();
        EXPECT_EQ(std::tuple(got.frames, got.emptyFrames, got.crcFailures, got.compactFrames,
                             got.oversized, got.trailingBytes),
                  c.expected)
            << c.name;
    }
}

TEST(FrameScan, HandsEachFrameWithItsOffsetWhateverTheFeedSize) {
    Bytes first = test::LogFrame(0x1062, 800, test::Words({1}));
    Bytes second = test::LogFrame(0x1000, 801, Bytes{0x7E, 0x7D});
    Bytes input = test::Concat({Bytes{0x7E}, first, second});
    const std::vector<std::pair<Bytes, uint64_t>> expected = {{first, 1},
                                                              {second, 1 + first.size()}};
    for (size_t step : {size_t{1}, size_t{2}, size_t{5}, input.size()}) {
        std::vector<std::pair<Bytes, uint64_t>> frames;
        FrameScanner scanner([&](std::span<const uint8_t> frame, uint64_t offset) {
            frames.emplace_back(Bytes(frame.begin(), frame.end()), offset);
        });
        for (size_t i = 0; i < input.size(); i += step) {
            scanner.Feed(
                std::span<const uint8_t>(input).subspan(i, std::min(step, input.size() - i)));
        }
        EXPECT_EQ(frames, expected) << "step " << step;
    }
}

}  // namespace
}  // namespace tessavo::cli

// The report ring and stream reassembly as a host sees them: capacity, collection, clearing,
// the unconsumed-byte protocol and frames that cross or exceed limits.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

// A frame of log code 0x1000 whose payload is its number (u32).
Bytes NumberedFrame(int i) {
    Bytes payload;
    PutU32(payload, static_cast<uint32_t>(i));
    return Frame(LogPacket(0x1000, payload));
}

Bytes NumberedFrames(int first, int count) {
    Bytes out;
    for (int i = first; i < first + count; ++i) {
        const Bytes f = NumberedFrame(i);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

uint32_t Number(const TestHost& host, int32_t i) {
    const Bytes b = host.BlockBytes(GetReportItemBinary(host.Handle(), i));
    return b.size() >= 4 ? static_cast<uint32_t>(b[0] | b[1] << 8 | b[2] << 16 | b[3] << 24) : 0;
}

TEST(Ring, ThreeHundredAndOneItemsWithoutCollectionLoseTheFirst) {
    TestHost host;
    // One frame per call, so every call decodes its frame even when the ring is full.
    for (int i = 1; i <= 301; ++i) {
        const Bytes one = NumberedFrame(i);
        ASSERT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), one.data(),
                                          static_cast<int32_t>(one.size()), 0, 0),
                  0);
    }
    ASSERT_EQ(host.Collect(), 300);
    EXPECT_EQ(Number(host, 0), 2u);
    EXPECT_EQ(Number(host, 299), 301u);
}

TEST(Ring, ClearDropsOnlyUncollectedItems) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(NumberedFrames(1, 3)), 3);
    host.Feed(NumberedFrames(10, 5));
    EXPECT_TRUE(ClearReportItemsProc(host.Handle()));
    EXPECT_EQ(Number(host, 2), 3u);  // the earlier collection is still readable
    host.Feed(NumberedFrames(20, 2));
    ASSERT_EQ(host.Collect(), 2);
    EXPECT_EQ(Number(host, 0), 20u);
    EXPECT_EQ(Number(host, 1), 21u);
    EXPECT_TRUE(ClearReportItemsProc(host.Handle()));
    EXPECT_EQ(host.Collect(), 0);
}

TEST(Stream, NoDynamicReportsTheBytesAfterTheFrameThatFilledTheRing) {
    TestHost host;
    const Bytes frames = NumberedFrames(1, 310);
    const int32_t left = DecodeMsgProc_NoDynamic(host.Handle(), frames.data(),
                                                 static_cast<int32_t>(frames.size()), 0, 0);
    EXPECT_EQ(left, static_cast<int32_t>(NumberedFrames(301, 10).size()));
    ASSERT_EQ(host.Collect(), 300);
    const Bytes rest(frames.end() - left, frames.end());
    EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), rest.data(), left, 0, 0), 0);
    ASSERT_EQ(host.Collect(), 10);
    EXPECT_EQ(Number(host, 0), 301u);
    EXPECT_EQ(Number(host, 9), 310u);
}

TEST(Stream, DecodeMsgProcKeepsWhatTheFullRingCouldNotTake) {
    TestHost host;
    EXPECT_TRUE(host.Feed(NumberedFrames(1, 650)));
    std::vector<uint32_t> seen;
    for (int32_t n = host.Collect(); n > 0; n = host.Collect()) {
        for (int32_t i = 0; i < n; ++i) seen.push_back(Number(host, i));
        // The next call decodes the kept bytes first, then its own (here a lone flag byte).
        host.Feed(Bytes{0x7E});
    }
    ASSERT_EQ(seen.size(), 650u);
    for (uint32_t i = 0; i < 650; ++i) EXPECT_EQ(seen[i], i + 1) << i;
}

// Kept bytes that fill the ring again at their very last frame leave no room for the call's
// own bytes: DecodeMsgProc keeps them too, DecodeMsgProc_NoDynamic reports them not taken.
TEST(Stream, KeptBytesFillingTheRingExactlyKeepTheNewInput) {
    const Bytes next = NumberedFrames(601, 10);
    const auto nextLength = static_cast<int32_t>(next.size());
    for (bool keptByLibrary : {true, false}) {
        TestHost host;
        EXPECT_TRUE(host.Feed(NumberedFrames(1, 600)));
        ASSERT_EQ(host.Collect(), 300);
        if (keptByLibrary) {
            EXPECT_TRUE(host.Feed(next));
        } else {
            EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), next.data(), nextLength, 0, 0),
                      nextLength);
        }
        ASSERT_EQ(host.Collect(), 300);
        EXPECT_EQ(Number(host, 299), 600u);
        if (keptByLibrary) {
            EXPECT_TRUE(host.Feed(NumberedFrames(611, 1)));
        } else {
            EXPECT_EQ(DecodeMsgProc_NoDynamic(host.Handle(), next.data(), nextLength, 0, 0), 0);
        }
        ASSERT_EQ(host.Collect(), keptByLibrary ? 11 : 10);
        EXPECT_EQ(Number(host, 0), 601u);
        EXPECT_EQ(Number(host, 9), 610u);
    }
}

// A host that never collects: the kept bytes stop at 16 MiB and the call that would pass that
// fails, so the host learns it must collect.
TEST(Stream, KeptBytesAreCapped) {
    TestHost host;
    const Bytes mebibyte = NumberedFrames(1, (1 << 20) / static_cast<int>(NumberedFrame(1).size()));
    int call = 1;
    while (call <= 20 && host.Feed(mebibyte)) ++call;
    EXPECT_GE(call, 16);
    EXPECT_LE(call, 17);
}

// A packed log frame yields up to 31 items. It waits for as many free ring nodes, so no item
// is overwritten before collection and the items do not depend on how the input is cut.
TEST(Stream, PackedLogsNeverOverrunTheRing) {
    Bytes entries = {0x00, 0xAA, 0xBB, 0xFF};  // 15 entries of each kind
    for (int e = 0; e < 30; ++e) entries.insert(entries.end(), {0x03, 1, static_cast<uint8_t>(e)});
    const Bytes packed = Frame(LogPacket(0x1036, entries));
    Bytes stream = NumberedFrames(1, 280);
    for (int i = 0; i < 2; ++i) stream.insert(stream.end(), packed.begin(), packed.end());
    stream = Concat({stream, NumberedFrames(281, 4)});
    for (size_t chunk : {size_t{1}, size_t{97}, size_t{4096}, stream.size()}) {
        TestHost host;
        std::vector<uint32_t> codes;
        for (size_t at = 0; at < stream.size();) {
            const auto n = static_cast<int32_t>(std::min(chunk, stream.size() - at));
            const int32_t left =
                DecodeMsgProc_NoDynamic(host.Handle(), stream.data() + at, n, 0, 0);
            ASSERT_GE(left, 0);
            for (int32_t i = 0, count = host.Collect(); i < count; ++i) {
                codes.push_back(host.MsgCode(i));
            }
            at += static_cast<size_t>(n - left);
        }
        ASSERT_EQ(codes.size(), 280u + 2 * 31 + 4) << "chunk " << chunk;
        EXPECT_EQ(codes[280], 0xB1011036u);
        EXPECT_EQ(codes[311], 0xB1011036u);
        EXPECT_EQ(codes.back(), 0xB1011000u);
    }
}

TEST(Stream, OverlongFrameIsDroppedAndCollectingRestarts) {
    TestHost host;
    Bytes stream(7168, 0x11);  // no flag byte: dropped at the limit
    const Bytes good = NumberedFrames(7, 1);
    stream.insert(stream.end(), good.begin(), good.end());
    ASSERT_EQ(host.FeedAndCollect(stream), 1);
    EXPECT_EQ(Number(host, 0), 7u);
}

TEST(Stream, FrameReachingTheLimitWithItsFlagIsDropped) {
    TestHost host;
    // 7167 bytes and the flag make 7168: too long to decode. The next frame decodes.
    Bytes stream(7167, 0x11);
    stream.push_back(0x7E);
    const Bytes good = NumberedFrames(8, 1);
    stream.insert(stream.end(), good.begin(), good.end());
    ASSERT_EQ(host.FeedAndCollect(stream), 1);
    EXPECT_EQ(Number(host, 0), 8u);
}

// A frame collected over several calls obeys the same limit as one in a single call: 7167
// bytes with the flag decode, 7168 are dropped.
TEST(Stream, FrameLimitHoldsAcrossCalls) {
    for (size_t total : {size_t{7167}, size_t{7168}}) {
        Bytes frame;
        // Header, payload, check bytes and flag, with a first payload byte that leaves the
        // check bytes unescaped.
        for (uint8_t first = 0; frame.size() != total; ++first) {
            Bytes payload(total - 19, 0x11);
            payload[0] = first;
            frame = Frame(LogPacket(0x1000, payload));
        }
        TestHost host;
        for (size_t at = 0; at < total; at += 3000) {
            host.Feed(Bytes(frame.begin() + at, frame.begin() + std::min(total, at + 3000)));
        }
        EXPECT_EQ(host.Collect(), total < 7168 ? 1 : 0) << total;
    }
}

TEST(Stream, WholeBufferModeTakesRawFramesWithoutCrc) {
    TestHost host;
    host.Configure(8);
    Bytes raw = WithCrc(LogPacket(0x1000, {5, 0, 0, 0}));
    raw[raw.size() - 1] ^= 0xFF;  // any check bytes
    raw.push_back(0x7E);
    ASSERT_EQ(host.FeedAndCollect(raw), 1);
    EXPECT_EQ(Number(host, 0), 5u);
    host.Configure(9);
    EXPECT_EQ(host.FeedAndCollect(raw), 0);  // framed again: bad CRC
}

TEST(Stream, WholeFrameModeSuppliesTheFlagItself) {
    TestHost host;
    host.Configure(10);
    Bytes frame = NumberedFrames(9, 1);
    frame.pop_back();  // the host's length excludes the flag
    ASSERT_EQ(host.FeedAndCollect(frame), 1);
    EXPECT_EQ(Number(host, 0), 9u);
}

// The whole-frame mode does not collect bytes: a frame begun before the mode was switched on
// is still continued after it is switched off again.
TEST(Stream, WholeFrameModeLeavesAnUnfinishedFrameAlone) {
    TestHost host;
    const Bytes first = NumberedFrames(1, 1);
    const Bytes head(first.begin(), first.begin() + 6);
    const Bytes tail(first.begin() + 6, first.end());
    ASSERT_EQ(host.FeedAndCollect(head), 0);

    host.Configure(10);
    Bytes whole = NumberedFrames(2, 1);
    whole.pop_back();
    ASSERT_EQ(host.FeedAndCollect(whole), 1);
    EXPECT_EQ(Number(host, 0), 2u);

    host.Configure(11);
    ASSERT_EQ(host.FeedAndCollect(tail), 1);
    EXPECT_EQ(Number(host, 0), 1u);
}

TEST(Stream, WholeBufferFramesAtTheLimitAreRefused) {
    const Bytes big(7168, 0x10);
    for (int32_t mode : {8, 10}) {
        TestHost host;
        host.Configure(mode);
        EXPECT_TRUE(host.Feed(big));
        // The largest length is refused before anything is read or added to it.
        EXPECT_TRUE(DecodeMsgProc(host.Handle(), big.data(), INT32_MAX, 0, 0));
        EXPECT_EQ(host.Collect(), 0);
    }
}

TEST(Stream, DecodeOneTakesOneFrame) {
    TestHost host;
    const Bytes f = NumberedFrames(4, 1);
    EXPECT_EQ(DecodeMsgProc_One(host.Handle(), f.data(), static_cast<int32_t>(f.size()), 0, 0), 1u);
    ASSERT_EQ(host.Collect(), 1);
    EXPECT_EQ(Number(host, 0), 4u);
    const Bytes big(7168, 0x10);
    EXPECT_EQ(DecodeMsgProc_One(host.Handle(), big.data(), 7168, 0, 0), 0u);
}

}  // namespace
}  // namespace tessavo::test

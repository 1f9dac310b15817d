// Acceptance, time stamps, side blocks, sampling and packed logs, through the exports.
#include <gtest/gtest.h>

#include "support/packet_builder.h"
#include "support/test_host.h"

namespace tessavo::test {
namespace {

// Local time of 1980-01-06 08:00:00 in a UTC+8 zone is 1980-01-06 00:00:00 UTC.
constexpr int32_t kDiagEpochCst = 315964800;

Bytes Log(uint16_t code, uint64_t ticks, Bytes payload = {0, 0, 0, 0}) {
    return Frame(LogPacket(code, payload, ticks));
}

TEST(ItemTime, NeverMovesBackwardsThroughLogPackets) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Concat({Log(0x1000, 8000), Log(0x1000, 800)})), 2);
    EXPECT_EQ(host.Time(1).seconds, kDiagEpochCst + 10);
}

TEST(ItemTime, CommandKeepsThePreviousItemTime) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Concat({Log(0x1000, 1600), Frame(CommandPacket(0x5D, {0, 0}))})),
              2);
    EXPECT_EQ(host.MsgCode(1), 0xB101305Du);
    EXPECT_EQ(host.Direction(1), 2u);
    EXPECT_EQ(host.Time(1).seconds, kDiagEpochCst + 2);
}

TEST(Sampling, LogCode1068PassesOncePerFifthOfASecond) {
    TestHost host;
    // 0, 0.1, 0.2, 0.35, 0.4 s in 1.25 ms ticks: decoded at 0, 0.2 and 0.4 s.
    Bytes stream;
    for (uint64_t ticks : {0, 80, 160, 280, 320}) stream = Concat({stream, Log(0x1068, ticks)});
    ASSERT_EQ(host.FeedAndCollect(stream), 3);
    EXPECT_EQ(host.Time(1).microseconds, 200000);
    EXPECT_EQ(host.Time(2).microseconds, 400000);
}

TEST(Sampling, TimeGoingBackwardsIsAcceptedAndBecomesTheReference) {
    TestHost host;
    Bytes stream;
    for (uint64_t ticks : {800, 400, 440, 560}) stream = Concat({stream, Log(0x1068, ticks)});
    // 1.0 s, then 0.5 s (backwards: accepted), 0.55 s (refused), 0.7 s (accepted).
    EXPECT_EQ(host.FeedAndCollect(stream), 3);
}

TEST(Blocks, PayloadOutFileAndZelFilterOfALogPacket) {
    TestHost host;
    host.Configure(0x20001);
    const Bytes packet = LogPacket(0x1000, {0x7E, 0x01, 0x7D});
    const Bytes frame = Frame(packet);
    ASSERT_EQ(host.FeedAndCollect(frame), 1);
    EXPECT_EQ(host.BlockBytes(GetReportItemBinary(host.Handle(), 0)), (Bytes{0x7E, 0x01, 0x7D}));
    EXPECT_EQ(host.BlockBytes(GetReportItemBinaryToZelFilter(host.Handle(), 0)), frame);
    int32_t status = 0;
    EXPECT_EQ(host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, 0)),
              Bytes(packet.begin() + 4, packet.end()));
}

TEST(Blocks, StatusResponseNeedsThirtyNineBytesAndGetsASynthesizedRecord) {
    TestHost host;
    host.Configure(0x20001);
    ASSERT_EQ(host.FeedAndCollect(Log(0x1000, 800)), 1);
    // L counts the packet, its two check bytes and the flag: 35 + 3 = 38, 36 + 3 = 39.
    EXPECT_EQ(host.FeedAndCollect(Frame(CommandPacket(0x63, Bytes(34, 0)))), 0);
    const Bytes body(35, 0x22);
    const Bytes packet = CommandPacket(0x63, body);
    ASSERT_EQ(host.FeedAndCollect(Frame(packet)), 1);
    EXPECT_EQ(host.MsgCode(0), 0xB1013063u);
    int32_t status = 0;
    const Bytes rec = host.BlockBytes(GetReportItemOutFileBinary(host.Handle(), &status, 0));
    ASSERT_EQ(rec.size(), 49u);
    EXPECT_EQ(rec[0] | rec[1] << 8, 49);
    EXPECT_EQ(rec[2], 0x63);
    EXPECT_EQ(rec[3], 0x30);
    const Bytes stamped = LogPacket(0x1000, {}, 800);
    EXPECT_EQ(Bytes(rec.begin() + 4, rec.begin() + 12),
              Bytes(stamped.begin() + 8, stamped.begin() + 16));
    const Bytes withCrc = WithCrc(packet);
    EXPECT_EQ(Bytes(rec.begin() + 12, rec.end()), Bytes(withCrc.begin() + 1, withCrc.end()));
}

TEST(Routing, CommandWrappedLogCodesUseThePresentItemTime) {
    TestHost host;
    ASSERT_EQ(host.FeedAndCollect(Concat({Log(0x1000, 8000), Log(0x3040, 80000, Bytes(20, 0))})),
              2);
    EXPECT_EQ(host.MsgCode(1), 0xB1013040u);
    EXPECT_EQ(host.Time(1).seconds, kDiagEpochCst + 10);
}

TEST(Routing, CompactFormIsAcceptedWithForeignCheckBytes) {
    TestHost host;
    Bytes entries;
    PutU32(entries, 0xFF0F0003);
    PutU32(entries, 4);
    PutU32(entries, 0x12345678);
    ASSERT_EQ(host.FeedAndCollect(FrameBadCrc(LogPacket(0xFFFE, entries))), 1);
    const Bytes payload = host.BlockBytes(GetReportItemBinary(host.Handle(), 0));
    // Four marker bytes, then the packet's entries from byte 16 (L - 15 bytes in all).
    ASSERT_EQ(payload.size(), 4u + entries.size());
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(payload.begin() + 4, payload.begin() + 16), entries);
}

TEST(PackedLogs, EachEntryBecomesASubPacketOfItsOwn) {
    TestHost host;
    // n = 0, two carried bytes, count byte 0x21: two first-kind entries, one second-kind.
    const Bytes payload = {0x00, 0xAA, 0xBB, 0x21, 0x03, 1,    0x11, 0x05,
                           2,    0x22, 0x33, 0x07, 0,    0x7E, 0x7D};
    ASSERT_EQ(host.FeedAndCollect(Log(0x1036, 800, payload)), 4);
    EXPECT_EQ(host.MsgCode(0), 0xB1011036u);
    EXPECT_EQ(host.MsgCode(1), 0x10360000u + 256 + 3);
    EXPECT_EQ(host.MsgCode(2), 0x10360000u + 256 + 5);
    EXPECT_EQ(host.MsgCode(3), 0x10360000u + 512 + 7);
    for (int32_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(host.BlockBytes(GetReportItemBinaryToZelFilter(host.Handle(), i)).empty());
    }
    // Sub-packet 1: header bytes 16..18, the marker 0x10, then the entry; CRC checked by the
    // dispatcher, so its acceptance proves the check bytes.
    EXPECT_EQ(host.BlockBytes(GetReportItemBinary(host.Handle(), 1)),
              (Bytes{0x00, 0xAA, 0xBB, 0x10, 0x03, 1, 0x11}));
    EXPECT_EQ(host.BlockBytes(GetReportItemBinary(host.Handle(), 3)),
              (Bytes{0x00, 0xAA, 0xBB, 0x01, 0x07, 0}));
}

TEST(PackedLogs, TruncatedEntryEndsTheExpansion) {
    TestHost host;
    const Bytes payload = {0x00, 0xAA, 0xBB, 0x20, 0x03, 1, 0x11, 0x05, 40, 0x22};
    EXPECT_EQ(host.FeedAndCollect(Log(0x1037, 800, payload)), 2);
}

TEST(PackedLogs, NoEntriesGivesOneItem) {
    TestHost host;
    EXPECT_EQ(host.FeedAndCollect(Log(0x1037, 800, {0x00, 0xAA, 0xBB, 0x00})), 1);
}

}  // namespace
}  // namespace tessavo::test

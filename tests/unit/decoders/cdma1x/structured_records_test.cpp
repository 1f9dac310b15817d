// Records with a structured copy: 0x1060, 0x106C, 0x106E, 0x1071 and the command 0x63 status.
#include "decoders/cdma1x/structured_records.h"

#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

TEST(StructuredRecords, BlobThenScalars) {
    const Bytes p1060 =
        Concat({{7, 1, 2}, U16s({0xAAAA, 0xAAAA, 0xBBBB, 0xBBBB}), {11, 12, 42, 14}});
    const Bytes p106C = Concat({{0, 0, 0, 2, 0},
                                U16s({0x5555, 0x3344, 0x1122, 5, 0, 0xFFFF, 0xFFFF, 0}),
                                {0, 0, 0, 0xA1, 0xA2}});
    const Bytes p106E =
        Concat({{0x12, 0x00, 0xA7},
                U16s({0x0304, 0x86A0, 0x0001, 0x0D40, 0x0003, 0x93E0, 0x0004, 0x0506, 0x0708}),
                {0x09, 0x0A, 0x0B}});
    const int32_t kExtended = 0x09 * 65536 + 0x0708;
    const struct {
        uint16_t logCode;
        LogHandler handler;
        Bytes payload;
        uint32_t structId;
        std::vector<uint32_t> words;
        IdValues params;
    } cases[] = {
        // clang-format off
        {0x1060, HandleRecord1060, p1060, 0x7F0107E1, {42, 7, 0}, {{0x7F018325, 42}, {0x7F018326, 7}}},
        {0x106C, HandleRecord106C, p106C, 0x7F0107E3, {0x11223344, 5, 0xFFFFFFFF},
         {{0x7F01832D, 0x11223344}, {0x7F01832E, 5}, {0x7F01832F, -1}}},
        {0x1071, HandleRecord1071, {0xC8}, 0x7F0107DE, {200}, {{0x7F01831A, 200}}},
        // 0x186A0 = 100000, 0x30D40 = 200000, 0x493E0 = 300000.
        {0x106E, HandleRecord106E, p106E, 0x7F0107DD,
         {0, 100000, 200000, 300000, 0, 0, 0x0304, 0x12, static_cast<uint32_t>(kExtended), 0x0A,
          0x0506, 0, 7},
         {{0x7F01830E, 100000}, {0x7F01830F, 200000}, {0x7F018310, 300000}, {0x7F018313, 0x0304},
          {0x7F018314, 0x12}, {0x7F018315, kExtended}, {0x7F018316, 0x0A}, {0x7F018317, 0x0506},
          {0x7F018319, 7}}},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.logCode);
        RecordHarness h;
        h.Log(c.logCode, c.payload, {c.handler});
        EXPECT_EQ(h.CurrentStructs(), Ids{c.structId});
        EXPECT_EQ(h.Struct(c.structId).Length(), 4 * c.words.size());
        EXPECT_EQ(h.StructWords(c.structId, 0, c.words.size()), c.words);
        h.ExpectCurrent(c.params);
    }
    Record106C rec;
    const Bytes packet = Dispatched(LogPacket(0x106C, p106C));
    ParseRecord106C(PacketView(packet.data(), static_cast<int32_t>(packet.size())), rec);
    EXPECT_EQ(Bytes(rec.list.begin(), rec.list.begin() + 3), (Bytes{0xA1, 0xA2, 0}));  // 2 read
}

// ---- Command 0x63 ----

// Status response body after the command byte: ESN, 6 bytes, IMSI_S, MNC (sent value), MCC
// (sent value), then the fields at record 39 to 49, and `trailing` bytes more: with one the
// packet reaches 39 bytes with its check bytes. IMSI_S of 1234567890: "123" (12 = 100 + 20 +
// 3 - 111) in bits 24..33, "456" (345) in bits 14..23, the digit 7 in bits 10..13, "890"
// (789, the digit 0 sent as 10) in bits 0..9. MCC 310 is sent as 209, MNC 00 as 99.
Bytes StatusBody(uint16_t channel, size_t trailing = 1) {
    Bytes b;
    PutU32(b, 0xDEADBEEF);
    b.insert(b.end(), 6, 0);
    PutU64(b, (12ull << 24) | (345ull << 14) | (7ull << 10) | 789ull);
    b.insert(b.end(), {99, 209, 0, 0, 0x39, 0x39, 0x41, 0x41, 0, 44, 0, 0});
    PutU16(b, channel);
    PutU16(b, 0x4949);
    b.insert(b.end(), trailing, 0);
    return b;
}

TEST(StatusResponse, IdentityAndChannel) {
    constexpr uint64_t kImsi = 310001234567890ull;
    RecordHarness h;
    ASSERT_EQ(Dispatched(CommandPacket(0x63, StatusBody(283))).size(), 39u);
    h.Packet(CommandPacket(0x63, StatusBody(283)), {HandleStatusParams, HandleStatusStruct});
    // clang-format off
    h.ExpectCurrent({{0x7F010310, static_cast<int32_t>(kImsi >> 32)},
                     {0x7F010311, static_cast<int32_t>(kImsi & 0xFFFFFFFF)},
                     {0x7F01030F, static_cast<int32_t>(0xDEADBEEF)}, {0x7F010316, 0},
                     {0x7F010317, 1234567890}, {0x7F010318, 0}, {0x7F010319, 310},
                     {0x7F010016, 44}, {0x7F010012, 283}});
    // clang-format on
    EXPECT_EQ(h.Ctx().lastChannel, 283);
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107FA});
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107FA, 0), 0xDEADBEEFu);
    EXPECT_EQ(h.StructAt<uint16_t>(0x7F0107FA, 4), 310u);
    EXPECT_EQ(h.StructAt<uint8_t>(0x7F0107FA, 6), 0u);
    EXPECT_EQ(h.StructAt<uint64_t>(0x7F0107FA, 7), 1234567890u);
    const std::string text = "310001234567890";
    Bytes expectedText(text.begin(), text.end());
    expectedText.resize(47 - 15, 0);  // the text is bounded and zero-filled
    EXPECT_EQ(h.StructBytes(0x7F0107FA, 15, 47 - 15), expectedText);
    for (uint16_t channel : {37, 78, 119}) {  // placeholders, not channels
        RecordHarness p;
        p.Packet(CommandPacket(0x63, StatusBody(channel)), {HandleStatusParams});
        EXPECT_EQ(p.Current().size(), 8u) << channel;
        EXPECT_EQ(p.Ctx().lastChannel, kNoValue);
    }
}

TEST(StatusResponse, ShortOrForeignPacketLeavesTheRecordZero) {
    RecordHarness h;
    // 38 bytes with check bytes: one short.
    h.Packet(CommandPacket(0x63, StatusBody(283, 0)), {HandleStatusParams});
    EXPECT_EQ(h.Value(0x7F010319), 0);
    EXPECT_EQ(h.Value(0x7F010012), 0);
    // A packet that is not a command 0x63 response: fifteen zero digits, then the terminator.
    h.Packet(CommandPacket(0x40, StatusBody(283)), {HandleStatusParams, HandleStatusStruct});
    EXPECT_EQ(h.Value(0x7F01030F), 0);
    Bytes expected(16, '0');
    expected[15] = 0;
    EXPECT_EQ(h.StructBytes(0x7F0107FA, 15, 16), expected);
}

}  // namespace
}  // namespace tessavo::test

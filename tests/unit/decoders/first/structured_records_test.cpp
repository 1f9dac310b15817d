// Records with a structured copy: 0x1060, 0x106C, 0x106E, 0x1071 and the command 0x63 status.
#include "decoders/first/structured_records.h"

#include <gtest/gtest.h>

#include <cstring>

#include "unit/decoders/first/record_decoder_harness.h"

namespace tessavo::test {
namespace {

using Ids = std::vector<uint32_t>;

TEST(Record1060, BlobThenScalars) {
    Bytes p = {7, 1, 2};
    PutU32(p, 0xAAAAAAAA);
    PutU32(p, 0xBBBBBBBB);
    for (uint8_t b : {11, 12, 42, 14}) p.push_back(b);
    RecordHarness h;
    h.Log(0x1060, p, {HandleRecord1060});
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107E1});
    EXPECT_EQ(h.Struct(0x7F0107E1).Length(), 12u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107E1, 0), 42u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107E1, 4), 7u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107E1, 8), 0u);
    EXPECT_EQ(h.Current(), (Ids{0x7F018325, 0x7F018326}));
    EXPECT_EQ(h.Value(0x7F018325), 42);
    EXPECT_EQ(h.Value(0x7F018326), 7);
}

TEST(Record106C, ThreeCounters) {
    Bytes p = {0, 0, 0, 2, 0};
    PutU16(p, 0x5555);
    PutU32(p, 0x11223344);
    PutU32(p, 5);
    PutU32(p, 0xFFFFFFFF);
    PutU16(p, 0);
    for (uint8_t b : {0, 0, 0, 0xA1, 0xA2}) p.push_back(b);
    RecordHarness h;
    h.Log(0x106C, p, {HandleRecord106C});
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107E3});
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107E3, 0), 0x11223344u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107E3, 4), 5u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107E3, 8), 0xFFFFFFFFu);
    EXPECT_EQ(h.Current(), (Ids{0x7F01832D, 0x7F01832E, 0x7F01832F}));
    EXPECT_EQ(h.Value(0x7F01832D), 0x11223344);
    EXPECT_EQ(h.Value(0x7F01832F), -1);

    Record106C rec;
    const Bytes packet = Dispatched(LogPacket(0x106C, p));
    ParseRecord106C(PacketView(packet.data(), static_cast<int32_t>(packet.size())), rec);
    EXPECT_EQ(rec.list[0], 0xA1);
    EXPECT_EQ(rec.list[1], 0xA2);
    EXPECT_EQ(rec.list[2], 0);  // only byte 3 = 2 entries are read
}

TEST(Record106E, NineScalarsAndThirteenWords) {
    Bytes p = {0x12, 0x00, 0xA7};
    PutU16(p, 0x0304);
    PutU32(p, 100000);
    PutU32(p, 200000);
    PutU32(p, 300000);
    PutU16(p, 0x0506);
    PutU16(p, 0x0708);
    for (uint8_t b : {0x09, 0x0A, 0x0B}) p.push_back(b);
    RecordHarness h;
    h.Log(0x106E, p, {HandleRecord106E});
    const uint32_t kExtended = 0x09 * 65536 + 0x0708;
    const std::array<uint32_t, 13> words = {0,    100000,    200000, 300000, 0, 0, 0x0304,
                                            0x12, kExtended, 0x0A,   0x0506, 0, 7};
    EXPECT_EQ(h.Struct(0x7F0107DD).Length(), 52u);
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107DD, 4 * i), words[i]) << "word " << i;
    }
    EXPECT_EQ(h.Current(), (Ids{0x7F01830E, 0x7F01830F, 0x7F018310, 0x7F018313, 0x7F018314,
                                0x7F018315, 0x7F018316, 0x7F018317, 0x7F018319}));
    const std::vector<int32_t> values = {
        100000, 200000, 300000, 0x0304, 0x12, static_cast<int32_t>(kExtended), 0x0A, 0x0506, 7};
    const Ids ids = h.Current();
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(h.Value(ids[i]), values[i]) << i;
}

TEST(Record1071, OneByte) {
    RecordHarness h;
    h.Log(0x1071, {0xC8}, {HandleRecord1071});
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DE});
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107DE, 0), 200u);
    EXPECT_EQ(h.Current(), Ids{0x7F01831A});
    EXPECT_EQ(h.Value(0x7F01831A), 200);
}

// ---- Command 0x63 ----

// IMSI_S of 1234567890: "123" (12 = 100 + 20 + 3 - 111) in bits 24..33, "456" (345) in bits
// 14..23, the digit 7 in bits 10..13, "890" (789, the digit 0 sent as 10) in bits 0..9.
constexpr uint64_t kImsiS = (12ull << 24) | (345ull << 14) | (7ull << 10) | 789ull;

// Status response body after the command byte: ESN, 6 bytes, IMSI_S, MNC (sent value), MCC
// (sent value), then the fields at record 39 to 49, and one byte more so that the packet
// reaches 39 bytes with its check bytes.
Bytes StatusBody(uint8_t mncSent, uint16_t mccSent, uint16_t channel, size_t trailing = 1) {
    Bytes b;
    PutU32(b, 0xDEADBEEF);
    PutU32(b, 0);
    PutU16(b, 0);
    PutU64(b, kImsiS);
    PutU8(b, mncSent);
    PutU16(b, mccSent);
    PutU8(b, 0);
    PutU16(b, 0x3939);
    PutU16(b, 0x4141);
    PutU8(b, 0);
    PutU8(b, 44);
    PutU8(b, 0);
    PutU8(b, 0);
    PutU16(b, channel);
    PutU16(b, 0x4949);
    b.insert(b.end(), trailing, 0);
    return b;
}

constexpr uint64_t kImsi = 310001234567890ull;

TEST(StatusResponse, IdentityAndChannel) {
    // MCC 310 is sent as 209, MNC 00 as 99.
    RecordHarness h;
    const Bytes body = StatusBody(99, 209, 283);
    ASSERT_EQ(Dispatched(CommandPacket(0x63, body)).size(), 39u);
    h.Packet(CommandPacket(0x63, body), {HandleStatusParams, HandleStatusStruct});
    EXPECT_EQ(h.Current(), (Ids{0x7F010310, 0x7F010311, 0x7F01030F, 0x7F010316, 0x7F010317,
                                0x7F010318, 0x7F010319, 0x7F010016, 0x7F010012}));
    EXPECT_EQ(h.Value(0x7F010310), static_cast<int32_t>(kImsi >> 32));
    EXPECT_EQ(h.Value(0x7F010311), static_cast<int32_t>(kImsi & 0xFFFFFFFF));
    EXPECT_EQ(h.Value(0x7F01030F), static_cast<int32_t>(0xDEADBEEF));
    EXPECT_EQ(h.Value(0x7F010316), 0);
    EXPECT_EQ(h.Value(0x7F010317), 1234567890);
    EXPECT_EQ(h.Value(0x7F010318), 0);
    EXPECT_EQ(h.Value(0x7F010319), 310);
    EXPECT_EQ(h.Value(0x7F010016), 44);
    EXPECT_EQ(h.Value(0x7F010012), 283);
    EXPECT_EQ(h.Ctx().lastChannel, 283);

    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107FA});
    EXPECT_EQ(h.Struct(0x7F0107FA).Length(), 47u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107FA, 0), 0xDEADBEEFu);
    EXPECT_EQ(h.StructAt<uint16_t>(0x7F0107FA, 4), 310u);
    EXPECT_EQ(h.StructAt<uint8_t>(0x7F0107FA, 6), 0u);
    EXPECT_EQ(h.StructAt<uint64_t>(0x7F0107FA, 7), 1234567890u);
    const std::string text = "310001234567890";
    Bytes expectedText(text.begin(), text.end());
    expectedText.resize(47 - 15, 0);
    EXPECT_EQ(h.StructBytes(0x7F0107FA, 15, 47 - 15), expectedText);
}

TEST(StatusResponse, PlaceholderChannelsAreNotChannels) {
    for (uint16_t channel : {37, 78, 119}) {
        RecordHarness h;
        h.Packet(CommandPacket(0x63, StatusBody(99, 209, channel)), {HandleStatusParams});
        EXPECT_EQ(h.Current().size(), 8u) << channel;
        EXPECT_EQ(h.Ctx().lastChannel, kNoValue);
    }
}

TEST(StatusResponse, ShortOrForeignPacketLeavesTheRecordZero) {
    RecordHarness h;
    // 38 bytes with check bytes: one short.
    h.Packet(CommandPacket(0x63, StatusBody(99, 209, 283, 0)), {HandleStatusParams});
    EXPECT_EQ(h.Value(0x7F010319), 0);
    EXPECT_EQ(h.Value(0x7F010317), 0);
    EXPECT_EQ(h.Value(0x7F010012), 0);
    // A packet that is not a command 0x63 response.
    h.Packet(CommandPacket(0x40, StatusBody(99, 209, 283)),
             {HandleStatusParams, HandleStatusStruct});
    EXPECT_EQ(h.Value(0x7F01030F), 0);
    // Fifteen zero digits, then the terminator.
    Bytes expected(16, '0');
    expected[15] = 0;
    EXPECT_EQ(h.StructBytes(0x7F0107FA, 15, 16), expected);
}

}  // namespace
}  // namespace tessavo::test

// Second-interface records: 0x107A, 0x1080, 0x1088.
#include "decoders/first/second_interface_records.h"

#include <gtest/gtest.h>

#include "unit/decoders/first/record_decoder_harness.h"

namespace tessavo::test {
namespace {

using Ids = std::vector<uint32_t>;

Bytes Record107APayload(uint8_t countA, uint8_t countB, uint8_t countD) {
    Bytes p = {9, countA, 0};
    PutU16(p, 0x0303);
    p.push_back(5);
    p.push_back(countB);
    p.push_back(7);
    p.push_back(countD);
    PutU16(p, 0x0909);
    p.insert(p.end(), 10u * countA, 0xA0);
    p.insert(p.end(), 10u * countB, 0xB0);
    p.insert(p.end(), 10u * countD, 0xD0);
    return p;
}

TEST(Record107A, PublishesTheFirstCount) {
    for (uint8_t count : {0, 3, 255}) {
        RecordHarness h;
        h.Log(0x107A, Record107APayload(count, 2, 1), {HandleRecord107A});
        EXPECT_EQ(h.Current(), Ids{0x7F01800C});
        EXPECT_EQ(h.Value(0x7F01800C), count);
    }
}

TEST(Record107A, GroupsAreReadInTheirLayout) {
    Bytes p = Record107APayload(0, 0, 0);
    p[1] = 1;  // one A group
    p[6] = 1;  // one B group
    p[8] = 1;  // one D group
    const Bytes groupA = {0x01, 0x02, 0x03, 0x04, 0x65, 0xFF, 0x07, 0x08, 0xFF, 0xFF};
    Bytes groupB = U16s({0x1111, 0x2222, 0x3333});
    groupB.insert(groupB.end(), 4, 0xFF);
    const Bytes groupD = U16s({1, 2, 3, 4, 5});
    p = Concat({p, groupA, groupB, groupD});
    const Bytes packet = Dispatched(LogPacket(0x107A, p));
    Record107A rec;
    ParseRecord107A(PacketView(packet.data(), static_cast<int32_t>(packet.size())), rec);
    EXPECT_EQ(rec.groupsA[0].f0, 0x0201);
    EXPECT_EQ(rec.groupsA[0].f2, 0x0403);
    EXPECT_EQ(rec.groupsA[0].f4, 5);
    EXPECT_EQ(rec.groupsA[0].f5, 6);
    EXPECT_EQ(rec.groupsA[0].f6, 0x0807);
    EXPECT_EQ(rec.groupsB[0].f4, 0x3333);
    EXPECT_EQ(rec.groupsD[0].f[4], 5);
}

Bytes Record1080Payload(uint16_t sector) {
    Bytes p;
    for (uint8_t i = 0; i < 16; ++i) p.push_back(static_cast<uint8_t>(0xA0 + i));
    p.push_back(0x16);
    p.push_back(0x17);
    PutU16(p, sector);
    return p;
}

TEST(Record1080, SectorAndIdentityBlob) {
    RecordHarness h;
    h.Log(0x1080, Record1080Payload(300), {HandleRecord1080Params, HandleRecord1080Struct});
    EXPECT_EQ(h.Current(), Ids{0x7F01800F});
    EXPECT_EQ(h.Value(0x7F01800F), 300);
    EXPECT_EQ(h.Ctx().referenceSector, 300);
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DC});
    EXPECT_EQ(h.Struct(0x7F0107DC).Length(), 28u);
    const Bytes payload = Record1080Payload(300);
    EXPECT_EQ(h.StructBytes(0x7F0107DC, 0, 16), Bytes(payload.begin(), payload.begin() + 16));
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107DC, 16), 0x16u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107DC, 20), 0x17u);
    EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107DC, 24), 0u);
}

TEST(Record1080, SectorOutOfRangeKeepsTheReference) {
    for (uint16_t sector : {0, 512, 65535}) {
        RecordHarness h;
        h.Ctx().referenceSector = 7;
        h.Log(0x1080, Record1080Payload(sector), {HandleRecord1080Params, HandleRecord1080Struct});
        EXPECT_TRUE(h.Current().empty()) << sector;
        EXPECT_EQ(h.Ctx().referenceSector, 7);
        EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DC});
    }
}

TEST(Record1088, BlobThenScalars) {
    Bytes p = {0xEE, 0x21};
    PutU32(p, 0xBADBAD00);  // reaches no output
    PutU16(p, 0x0606);
    PutU32(p, 80000);
    PutU32(p, 120000);
    PutU32(p, 0xFFFFFFFE);
    PutU16(p, 0x2020);
    for (uint8_t b : {0x22, 0x34, 0x12}) p.push_back(b);
    RecordHarness h;
    h.Log(0x1088, p, {HandleRecord1088});
    const std::array<uint32_t, 10> words = {0, 80000,  120000, 0xFFFFFFFE, 0x21,
                                            0, 0x0606, 0x1234, 0x22,       0x2020};
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DF});
    EXPECT_EQ(h.Struct(0x7F0107DF).Length(), 40u);
    for (size_t i = 0; i < words.size(); ++i) {
        EXPECT_EQ(h.StructAt<uint32_t>(0x7F0107DF, 4 * i), words[i]) << "word " << i;
    }
    EXPECT_EQ(h.Current(), (Ids{0x7F01831C, 0x7F01831D, 0x7F01831E, 0x7F01831F, 0x7F018321,
                                0x7F018322, 0x7F018323, 0x7F018324}));
    const std::vector<int32_t> values = {80000, 120000, -2, 0x21, 0x0606, 0x1234, 0x22, 0x2020};
    const Ids ids = h.Current();
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(h.Value(ids[i]), values[i]) << i;
}

}  // namespace
}  // namespace tessavo::test

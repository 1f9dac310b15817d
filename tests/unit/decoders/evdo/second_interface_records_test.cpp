// Second-interface records: 0x107A, 0x1080, 0x1088.
#include "decoders/evdo/second_interface_records.h"

#include <gtest/gtest.h>

#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

TEST(Record107A, PublishesTheFirstCountAndReadsTheGroups) {
    for (uint8_t count : {0, 3, 255}) {
        Bytes p = {9, count, 0, 3, 3, 5, 2, 7, 1, 9, 9};
        p.resize(p.size() + 10u * (count + 2 + 1), 0xA0);
        RecordHarness h;
        h.Log(0x107A, p, {HandleRecord107A});
        h.ExpectCurrent({{0x7F01800C, count}});
    }
    // One group of each kind.
    const Bytes p = Concat({{9, 1, 0, 3, 3, 5, 1, 7, 1, 9, 9},
                            {0x01, 0x02, 0x03, 0x04, 0x65, 0xFF, 0x07, 0x08, 0xFF, 0xFF},
                            U16s({0x1111, 0x2222, 0x3333, 0xFFFF, 0xFFFF}),
                            U16s({1, 2, 3, 4, 5})});
    const Bytes packet = Dispatched(LogPacket(0x107A, p));
    Record107A rec;
    ParseRecord107A(PacketView(packet.data(), static_cast<int32_t>(packet.size())), rec);
    const auto& a = rec.groupsA[0];
    EXPECT_EQ(std::vector<int>({a.f0, a.f2, a.f4, a.f5, a.f6}),
              std::vector<int>({0x0201, 0x0403, 5, 6, 0x0807}));
    EXPECT_EQ(rec.groupsB[0].f4, 0x3333);
    EXPECT_EQ(rec.groupsD[0].f[4], 5);
}

Bytes Record1080Payload(uint16_t sector) {
    Bytes p;
    for (uint8_t i = 0; i < 16; ++i) p.push_back(static_cast<uint8_t>(0xA0 + i));
    return Concat({p, {0x16, 0x17}, U16s({sector})});
}

TEST(Record1080, SectorAndIdentityBlob) {
    RecordHarness h;
    h.Log(0x1080, Record1080Payload(300), {HandleRecord1080Params, HandleRecord1080Struct});
    h.ExpectCurrent({{0x7F01800F, 300}});
    EXPECT_EQ(h.Ctx().referenceSector, 300);
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DC});
    EXPECT_EQ(h.Struct(0x7F0107DC).Length(), 28u);
    const Bytes payload = Record1080Payload(300);
    EXPECT_EQ(h.StructBytes(0x7F0107DC, 0, 16), Bytes(payload.begin(), payload.begin() + 16));
    EXPECT_EQ(h.StructWords(0x7F0107DC, 16, 3), (std::vector<uint32_t>{0x16, 0x17, 0}));
    // A sector out of range keeps the reference and is not published; the blob still is.
    for (uint16_t sector : {0, 512, 65535}) {
        h.Log(0x1080, Record1080Payload(sector), {HandleRecord1080Params, HandleRecord1080Struct});
        EXPECT_TRUE(h.Current().empty()) << sector;
        EXPECT_EQ(h.Ctx().referenceSector, 300);
        EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DC});
    }
}

TEST(Record1088, BlobThenScalars) {
    // The word at 2 reaches no output.
    const Bytes p = Concat(
        {{0xEE, 0x21},
         U16s({0xAD00, 0xBADB, 0x0606, 0x3880, 0x0001, 0xD4C0, 0x0001, 0xFFFE, 0xFFFF, 0x2020}),
         {0x22, 0x34, 0x12}});
    RecordHarness h;
    h.Log(0x1088, p, {HandleRecord1088});
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DF});
    EXPECT_EQ(h.Struct(0x7F0107DF).Length(), 40u);
    EXPECT_EQ(h.StructWords(0x7F0107DF, 0, 10),
              (std::vector<uint32_t>{0, 80000, 120000, 0xFFFFFFFE, 0x21, 0, 0x0606, 0x1234, 0x22,
                                     0x2020}));
    h.ExpectCurrent({{0x7F01831C, 80000},
                     {0x7F01831D, 120000},
                     {0x7F01831E, -2},
                     {0x7F01831F, 0x21},
                     {0x7F018321, 0x0606},
                     {0x7F018322, 0x1234},
                     {0x7F018323, 0x22},
                     {0x7F018324, 0x2020}});
}

}  // namespace
}  // namespace tessavo::test

// Sector table decoders: 0x12A1, 0x1295, 0x129C (multi-carrier) and 0x108B, 0x108A (single).
#include <gtest/gtest.h>

#include "decoders/evdo/multi_carrier_sectors.h"
#include "decoders/evdo/sector_sets.h"
#include "support/bit_writer.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

constexpr double k3dB = 3.0103;  // ConvertLog512(1024), dB

uint16_t Word(uint16_t channel, uint16_t band) {
    return static_cast<uint16_t>(band << 11 | channel);
}

uint8_t N(const std::vector<Bytes>& parts) {
    return static_cast<uint8_t>(parts.size());
}
// `head`, then each of `parts` in order.
Bytes Joined(Bytes head, std::initializer_list<const std::vector<Bytes>*> parts) {
    for (const auto* set : parts) {
        for (const Bytes& e : *set) head.insert(head.end(), e.begin(), e.end());
    }
    return head;
}

// A set entry of 0x12A1: sector, E1, E2, byte +6, channel word, then the set's own bytes.
Bytes SetEntry(uint16_t sector, uint16_t e1, uint16_t channelWord, Bytes tail, uint16_t e2 = 0) {
    return Concat({U16s({sector, e1, e2}), {0x5A}, U16s({channelWord}), tail});
}
Bytes EntryA(uint16_t sector, uint16_t e1, uint16_t channelWord, bool flagged) {
    Bytes tail(10, 0);
    tail[1] = flagged ? 0x04 : 0x00;
    return SetEntry(sector, e1, channelWord, tail);
}
Bytes Packet12A1(const std::vector<Bytes>& a, const std::vector<Bytes>& b,
                 const std::vector<Bytes>& c) {
    return Joined({1, 0x11, 0x22, N(a), 0x44, 0, 0, N(b), 0x88, N(c), 0, 0, 0}, {&a, &b, &c});
}

// A 0x1295 carrier block and its 22-byte sub-entries.
Bytes Serving(uint16_t sector, uint16_t e0, uint8_t flags, uint16_t e1 = 0) {
    const Bytes word = {0x78, 0x56, 0x34, 0x12};
    return Concat({U16s({sector}), word, U16s({e0}), {flags, 0x53}, U16s({e1, 0}), Zeros(8)});
}
Bytes ServingBlock(uint8_t carrier, uint16_t word, const std::vector<Bytes>& subs) {
    return Joined(Concat({{carrier}, U16s({word}), {0, N(subs)}}), {&subs});
}
Bytes Packet1295(const std::vector<Bytes>& blocks) {
    return Joined(Concat({{1, 0}, Zeros(6), {0, 0, N(blocks)}}), {&blocks});
}

// Row `i` of the published sector table (0x7F0107D8): kind, channel, sector, then the levels.
struct Row {
    int32_t kind, channel, sector;
    double carrierLevel, level;
};
void ExpectRows(const RecordHarness& h, const std::vector<Row>& rows) {
    constexpr uint32_t kTable = 0x7F0107D8;
    ASSERT_EQ(h.StructAt<uint32_t>(kTable, 0), rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t at = 4 + 56 * i;
        h.ExpectWords(
            kTable, at,
            {uint32_t(rows[i].kind), uint32_t(rows[i].channel), uint32_t(rows[i].sector)});
        EXPECT_NEAR(h.StructAt<double>(kTable, at + 12), rows[i].carrierLevel, 1e-4) << i;
        EXPECT_NEAR(h.StructAt<double>(kTable, at + 28), rows[i].level, 1e-4) << i;
    }
}

// clang-format off
TEST(MultiCarrierSectors, LevelsSetsAndServingSectorsShareTheirState) {
    // Carrier 0 levels: L1 0x7FFF clamps to 127, L4 -23040 / 256 = -90 dBm, L5 0 clamps to -30.
    const Bytes levels = Concat({{1, 0, 0, 0, 0, 0, 0, 1, 0x30}, U16s({Word(100, 1)}), {0},
                                 U16s({0, 0x7FFF, 0, 0, static_cast<uint16_t>(-23040), 0})});
    // Two flagged set A entries move the reference to 100 and then 200; the third entry has the
    // key of the first and replaces its values. A set B entry without strength makes no row.
    const Bytes sets = Packet12A1({EntryA(7, 1024, Word(100, 1), true), EntryA(8, 512, Word(200, 2), true),
                                   EntryA(7, 5120, Word(100, 1), false)},
                                  {SetEntry(9, 0, Word(100, 0), {0, 0, 0}), SetEntry(10, 256, Word(300, 0), {0, 0, 0})},
                                  {SetEntry(11, 512, Word(100, 0), Zeros(5))});
    RecordHarness h;
    h.Steps({
        // Carrier 0 serves sector 7 on channel 100 at 3 dB (E0 1024); the reference is not known
        // yet, so nothing carrier-independent is published.
        {0x1295, Packet1295({ServingBlock(0, Word(100, 1), {Serving(7, 1024, 0x01)})}),
         {0x7F01910C, 100, 0x7F01910D, 1, 0x7F01910E, 7, 0x7F019107, 3010, 0x7F019108, 3010}, 2},
        {0x129C, levels, {0x7F019104, 0, 0x7F019105, 0, 0x7F019106, 127000, 0x7F019103, 0, 0x7F019101, -90000, 0x7F019102, -30000}},
        {0x12A1, sets, {0x7F01800D, 200, 0x7F01800E, 2, 0x7F01800D, 200, 0x7F01800E, 2, 0x7F01800C, 2}},
    });
    EXPECT_EQ(h.Ctx().referenceValue, 200);
    EXPECT_EQ(h.CurrentStructs(), (Ids{0x7F0107EC, 0x7F0107ED, 0x7F0107EE}));
    // Carrier 1 on the reference channel: the last flagged sub-entry names the sector, the
    // strongest gives the level. Block 2 (carrier 3, nothing flagged) publishes nothing.
    h.Steps({{0x1295, Packet1295({ServingBlock(1, Word(200, 2), {Serving(8, 512, 0x01), Serving(5, 5120, 0x11)}),
                                  ServingBlock(3, Word(300, 0), {Serving(0xFFFF, 0, 0x00)})}),
              {0x7F01A10C, 200, 0x7F01A10D, 2, 0x7F01A10E, 5, 0x7F01A107, 10000, 0x7F01A108, 10000, 0x7F01800D, 200,
               0x7F01800E, 2, 0x7F018007, 10000, 0x7F018008, 10000}}});
    EXPECT_EQ(h.Ctx().bestLevelX1000, 10000.0);
    // Rows carry the level of the carrier last seen on their channel (carrier 0, -90 dBm).
    ExpectRows(h, {{0, 100, 7, -90.0, 10.0}, {0, 200, 8, -9999.0, 0.0}, {1, 300, 10, -9999.0, -k3dB}, {2, 100, 11, -90.0, 0.0}});
    // 0x7F0107EA: block count, carrier headers, per block the valid sub-entries.
    constexpr uint32_t kEA = 0x7F0107EA;
    const size_t second = 40 + 13 + 36;  // the record of sector 5, flags 0x11, byte +9 0x53
    EXPECT_EQ(h.StructAt<uint8_t>(kEA, 0), 2);
    h.ExpectWords(kEA, 4, {200, 1, 2, 300, 3, 0});
    EXPECT_EQ(std::tuple(h.StructAt<uint8_t>(kEA, 40 + 12), h.StructAt<uint8_t>(kEA, 40 + 445 + 12)), std::tuple(2, 0));
    EXPECT_EQ(h.StructAt<uint16_t>(kEA, second), 5);
    EXPECT_EQ(std::tuple(h.StructAt<double>(kEA, second + 2), h.StructAt<double>(kEA, second + 10)), std::tuple(10000.0, -9999.0));
    h.ExpectWords(kEA, second + 26, {0x12345678u});
    h.ExpectBytes(kEA, second + 30, {3, 5, 1, 0, 0, 1});
    // Single carrier: the multi-carrier handlers stay silent and keep the table; 0x12A1 still
    // publishes its blobs.
    h.Ctx().carrierMode = 1;
    h.Routed(0x12A1, Packet12A1({}, {}, {}));
    EXPECT_EQ(h.CurrentStructs(), (Ids{0x7F0107EC, 0x7F0107ED, 0x7F0107EE}));
    h.Steps({{0x1295, Packet1295({ServingBlock(1, Word(200, 2), {Serving(8, 512, 1)})}), {}}});
    EXPECT_TRUE(h.CurrentStructs().empty());
    EXPECT_EQ(h.Ctx().sectorTable.count, 4);
}

TEST(MultiCarrierSectors, SetBlobsByteForByte) {
    // Flag byte 0xBE: bits 0-1 2, bit 2 1, bits 3-4 3, bits 5-7 5. Byte +12 0x16: 6, 0, 1.
    // 10-bit value 0x2A5 from byte +13 0xA5 and byte +14 0x76 (bits 0-1 2, 2-4 5, 5-7 3).
    const Bytes a = SetEntry(0x107, 1024, Word(0x123, 3), {0x44, 0xBE, 0xC3, 0x16, 0xA5, 0x76, 0xFF, 0x99, 0xEF, 0xBE});
    const Bytes b = SetEntry(0x108, 512, Word(0x124, 4), {0x02, 0x34, 0x12}, 5120);
    const Bytes c = SetEntry(0x109, 0, Word(0x125, 5), {0x11, 0x22, 0xFD, 0x34, 0x12}, 512);
    RecordHarness h;
    h.Routed(0x12A1, Packet12A1({a}, {b}, {c}));
    const uint32_t noLevel = static_cast<uint32_t>(-9999000);
    h.ExpectBytes(0x7F0107EC, 0, {0x11, 1, 0x44, 0x22, 0, 0, 0});
    h.ExpectWords(0x7F0107EC, 7, {0x123, 3, 0x107, 3010, noLevel, 0, 0x44, 2, 1, 3, 5, 3, 12, 6, 0, 1, 0x2A5, 5, 3, 0x7F, 0x23, 0xBEEF});
    h.ExpectBytes(0x7F0107ED, 0, {0x11, 1, 0x88});
    h.ExpectWords(0x7F0107ED, 3, {0x124, 4, 0x108, 0, 10000, 0x5A, 1, 0, 0x1234});
    h.ExpectBytes(0x7F0107EE, 0, {0x11, 1});
    h.ExpectWords(0x7F0107EE, 2, {0x125, 0, 0x109, static_cast<uint32_t>(-9999), 0, 0x5A, 5, 0, 0x1234});
}

TEST(MultiCarrierSectors, FullSetsFillTheTableAndTheRun) {
    // 255 entries in each set, all distinct, every set A entry flagged: 511 writes in one run
    // and 765 rows offered to a table of 512.
    std::vector<Bytes> a, b, c;
    for (uint16_t i = 0; i < 255; ++i) {
        a.push_back(EntryA(i, 512, Word(i, 0), true));
        b.push_back(SetEntry(1000 + i, 512, Word(1, 0), {0, 0, 0}));
        c.push_back(SetEntry(2000 + i, 512, Word(2, 0), Zeros(5)));
    }
    RecordHarness h;
    h.Ctx().carrierMode = 2;
    h.Routed(0x12A1, Packet12A1(a, b, c));
    EXPECT_EQ(h.Ctx().item.curParamCount, 384);  // the list holds what fits
    EXPECT_EQ(h.Value(0x7F01800C), 6);           // the 511th write still landed
    EXPECT_EQ(h.State(0x7F01800C), 1);
    EXPECT_EQ(h.Ctx().referenceValue, 254);
    const SectorTable& t = h.Ctx().sectorTable;
    ASSERT_EQ(t.count, 512);
    EXPECT_EQ(std::tuple(t.rows[511].sector, t.rows[511].kind), std::tuple(2001, 2));
}

// ---- single carrier: 0x108B, 0x108A ----

// 0x108B: header, then set entries as the parser reads them.
Bytes Set1(uint16_t sector, uint16_t e1, uint8_t f6) {
    BitWriter w;
    w.Lsb(sector, 16).Lsb(e1, 16).Lsb(1, 4).Lsb(2, 4).Lsb(f6, 3).Lsb(3, 5).Lsb(4, 8);
    w.Lsb(1, 1).Lsb(0, 1).Lsb(5, 6).Lsb(0x0606, 16);
    return w.Bytes();
}
Bytes Set2(uint16_t sector, uint16_t e1, uint16_t channel) {
    BitWriter w;
    w.Lsb(sector, 16).Lsb(e1, 16).Lsb(channel, 11).Lsb(9, 5).Lsb(0, 8).Lsb(0, 8).Lsb(0, 16);
    return w.Bytes();
}
Bytes Packet108B(uint16_t channel, const std::vector<Bytes>& s1, const std::vector<Bytes>& s2,
                 const std::vector<Bytes>& s3) {
    BitWriter w;
    w.Lsb(7, 8).Lsb(s1.size(), 8).Lsb(0x22, 8).Lsb(channel, 11).Lsb(1, 5).Lsb(0x66, 8);
    w.Lsb(s2.size(), 8).Lsb(0x88, 8).Lsb(s3.size(), 8).Lsb(0xABCD, 16);
    return Joined(w.Bytes(), {&s1, &s2, &s3});
}

// 0x108A entry: W, 18 bits, two alignments, E, 1-1-1-4 bits, 3-3 bits, a, b.
Bytes Strength(uint16_t word, uint16_t e, uint16_t a = 5120) {
    BitWriter w;
    w.Lsb(word, 16).Lsb(0x2ABCD, 18).AlignZero().Raw({0}).Lsb(e, 16);
    w.Lsb(1, 1).Lsb(0, 1).Lsb(1, 1).Lsb(9, 4).AlignZero().Lsb(3, 3).Lsb(6, 3).AlignZero();
    w.Lsb(a, 16).Lsb(0, 16);
    return w.Bytes();
}
Bytes Packet108A(const std::vector<Bytes>& entries) {
    return Joined(Concat({{0x0A, 1, 2, 3, 4}, U16s({8, 10}), {N(entries)}}), {&entries});
}

TEST(SingleCarrierSectors, SetsRebuildTheTableAndStrengthsAddToIt) {
    RecordHarness h;
    h.Ctx().lastValue018001 = -85000;  // carrier level -85 dBm
    // Set 1: a sector at 3 dB and one without strength (no best level yet: no level); set 2:
    // one row (field 10 from channel 300: 1), one without strength; set 3: channel 1000.
    h.Steps({{0x108B, Packet108B(283, {Set1(40, 1024, 5), Set1(41, 0, 2)}, {Set2(50, 512, 300), Set2(51, 0, 300)}, {Set2(60, 256, 1000)}),
              {0x7F01800D, 283, 0x7F01800E, 1, 0x7F01800C, 2}}});
    EXPECT_EQ(h.Ctx().referenceValue, 283);
    const SectorTable& t = h.Ctx().sectorTable;
    ASSERT_EQ(t.count, 4);
    EXPECT_EQ(std::tuple(t.rows[0].field10, t.rows[0].carrierLevel, t.rows[1].level, t.rows[1].convertedLevel),
              std::tuple(5, -85.0, -9999.0, -9999.0));
    EXPECT_NEAR(t.rows[0].level, k3dB, 1e-4);
    EXPECT_EQ((std::vector<int32_t>{t.rows[2].kind, t.rows[2].channel, t.rows[2].field10, t.rows[3].kind, t.rows[3].channel, t.rows[3].field10}),
              (std::vector<int32_t>{1, 300, 1, 2, 1000, 3}));
    h.ExpectWords(0x7F0107D9, 13, {40, 3010, 5, 2, 1, 0, 1, 4, 0x0606});
    h.ExpectWords(0x7F0107D9, 13 + 36 + 4, {static_cast<uint32_t>(-9999)});
    const uint32_t none = static_cast<uint32_t>(-9999);
    h.ExpectWords(0x7F0107DA, 3, {50, 0, 300, 9, none, none, none});
    EXPECT_EQ(h.StructAt<uint16_t>(0x7F0107DB, 2), 0xABCD);
    // Two entries of sector 41 (the second with high bits above the 9-bit number) sum to 512,
    // 0 dB; one sector other than the reference empties the table and becomes the reference.
    h.Steps({{0x108A, Packet108A({Strength(41, 300), Strength(0x229, 212), Strength(0xFFFF, 50)}), {0x7F01800F, 41, 0x7F018007, 0, 0x7F018008, 0}}});
    ExpectRows(h, {{0, 283, 41, -85.0, 0.0}});
    EXPECT_EQ(h.StructAt<uint8_t>(0x7F0107D7, 12), 2);  // the 0xFFFF entry is dropped
    h.ExpectBytes(0x7F0107D7, 13, {41, 0, 0x2C, 0x01, 0x10, 0x27, 0x68, 0x6D, 0xCD, 0xAB, 0x02, 0, 3, 6, 9, 1, 0, 1});
    // Two sectors: the table grows; the best level is that of the reference sector.
    h.Steps({{0x108A, Packet108A({Strength(42, 1024), Strength(41, 256), Strength(41, 256)}), {0x7F018007, 0, 0x7F018008, 0}}});
    EXPECT_EQ(t.count, 2);
    EXPECT_NEAR(t.rows[1].level, k3dB, 1e-4);
    // Multi-carrier mode: no scalar, the table and the reference stay.
    h.Steps({{0x108A, Packet108A({Strength(43, 512)}), {}, 2}, {0x108B, Packet108B(5, {}, {}, {}), {}}});
    EXPECT_EQ(t.count, 2);
    EXPECT_EQ(h.Ctx().referenceValue, 283);
}

TEST(SingleCarrierSectors, EdgeCounts) {
    RecordHarness h;
    // Ten set-1 places: the last two are zero places, one row of sector 0 between them.
    std::vector<Bytes> ten;
    for (uint16_t i = 0; i < 10; ++i) ten.push_back(Set1(100 + i, 512, 0));
    h.Routed(0x108B, Packet108B(7, ten, {}, {}));
    EXPECT_EQ(h.Ctx().sectorTable.count, 9);
    EXPECT_EQ(h.Ctx().sectorTable.rows[8].sector, 0);
    // Only unused entries: nothing is written, the lists are not rebuilt.
    h.Steps({{0x108A, Packet108A({Strength(0xFFFF, 10)}), {}}});
    EXPECT_EQ(h.Ctx().sectorTable.count, 9);
}

}  // namespace
}  // namespace tessavo::test

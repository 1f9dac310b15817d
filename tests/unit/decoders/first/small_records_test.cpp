// Small records: 0x1013, 0x1014, 0x105F, 0x1064, 0x1068, 0x1069, 0x1183, 0x1076, 0x1077.
#include "decoders/first/small_records.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "support/bit_writer.h"
#include "unit/decoders/first/record_decoder_harness.h"

namespace tessavo::test {
namespace {

using Ids = std::vector<uint32_t>;

PacketView View(const Bytes& packet) {
    return PacketView(packet.data(), static_cast<int32_t>(packet.size()));
}

TEST(Record1013, FirstTwoBytes) {
    RecordHarness h;
    h.Log(0x1013, {3, 250, 9, 9, 9, 9, 9, 9, 9, 9}, {HandleRecord1013});
    EXPECT_EQ(h.Current(), (Ids{0x7F01031A, 0x7F01031B}));
    EXPECT_EQ(h.Value(0x7F01031A), 3);
    EXPECT_EQ(h.Value(0x7F01031B), 250);
}

// ---- 0x1014 ----

Bytes Text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes PositionPayload(const std::string& lat, const std::string& lon, const std::string& f16,
                      const std::string& f20) {
    return Concat({Zeros(6), Text(lat), Text(lon), Text(f16), Text(f20), {1, 2}});
}

struct PositionCase {
    const char* name;
    std::string lat, lon, f16, f20;
    double latitude, longitude;
    int32_t field16, field20;
};

class Position : public ::testing::TestWithParam<PositionCase> {};

TEST_P(Position, TextFieldsAsNumbers) {
    const PositionCase& c = GetParam();
    RecordHarness h;
    h.Log(0x1014, PositionPayload(c.lat, c.lon, c.f16, c.f20), {HandlePosition});
    EXPECT_TRUE(h.Current().empty());
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107FC});
    EXPECT_EQ(h.Struct(0x7F0107FC).Length(), 24u);
    EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 0), c.latitude);
    EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 8), c.longitude);
    EXPECT_EQ(h.StructAt<int32_t>(0x7F0107FC, 16), c.field16);
    EXPECT_EQ(h.StructAt<int32_t>(0x7F0107FC, 20), c.field20);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Position,
    ::testing::Values(
        PositionCase{"Plain", "3412345.6", "11712345", "123", "-45", 34.123456, 117.12345, 123,
                     -45},
        // Leading blanks and a plus sign are taken; text that is no number gives 0; a zero
        // byte ends the text early.
        PositionCase{"Loose", "  +100000",
                     std::string("5\0"
                                 "9999999",
                                 8),
                     "abc", " 7.", 1.0, 0.00005, 0, 7},
        // An exponent, a hexadecimal number, and a value beyond the 32-bit range.
        PositionCase{"Forms", "1.5e+005x", "-250000e", "9e9", "0x1", 1.5, -2.5, INT32_MIN, 1},
        PositionCase{"SignsAndBlanks", "--1      ", "        ", "   ", "+-3", 0.0, 0.0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Position, DecimalPointIndependentOfTheHostLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    RecordHarness h;
    h.Log(0x1014, PositionPayload("3412345.6", "11712345", "123", "-45"), {HandlePosition});
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 0), 34.123456)
        << "locale " << (german ? german : "C");
}

TEST(Record105F, FirstByte) {
    RecordHarness h;
    h.Log(0x105F, {0x21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {HandleRecord105F});
    EXPECT_EQ(h.Current(), Ids{0x7F01800C});
    EXPECT_EQ(h.Value(0x7F01800C), 0x21);
}

// ---- 0x1064 ----

void Entry1064Bits(BitWriter& w, uint16_t f0, uint32_t f2, uint16_t f6, uint8_t f11, uint8_t f13,
                   uint16_t f16) {
    w.Lsb(f0, 16).Lsb(f2, 18).AlignZero();  // the reader aligns twice: byte 5 is skipped
    w.Lsb(0, 8).Lsb(f6, 16);
    w.Lsb(1, 1).Lsb(0, 1).Lsb(1, 1).Lsb(f11, 4).AlignZero();
    w.Lsb(5, 3).Lsb(f13, 3).AlignZero();
    w.Lsb(0x1414, 16).Lsb(f16, 16);
}

TEST(Record1064, EntryLayoutAndCountLimit) {
    BitWriter w;
    w.Lsb(0xCAFEBABE, 32).Lsb(1, 16).Lsb(2, 16).Lsb(40, 8);
    for (int i = 0; i < 40; ++i) {
        Entry1064Bits(w, static_cast<uint16_t>(100 + i), 0x2ABCD, 0x0606, 9, 6,
                      static_cast<uint16_t>(i));
    }
    const Bytes packet = Dispatched(LogPacket(0x1064, w.Bytes()));
    Record1064 rec;
    ASSERT_EQ(ParseRecord1064(View(packet), rec), 1);
    EXPECT_EQ(rec.w0, 0xCAFEBABEu);
    EXPECT_EQ(rec.count, 32);
    const Entry1064& first = rec.entries[0];
    EXPECT_EQ(first.f0, 100);
    EXPECT_EQ(first.f2, 0x2ABCDu);
    EXPECT_EQ(first.f6, 0x0606);
    EXPECT_EQ(first.f8, 1);
    EXPECT_EQ(first.f9, 0);
    EXPECT_EQ(first.f10, 1);
    EXPECT_EQ(first.f11, 9);
    EXPECT_EQ(first.f12, 5);
    EXPECT_EQ(first.f13, 6);
    EXPECT_EQ(first.f14, 0x1414);
    EXPECT_EQ(first.f16, 0);
    EXPECT_EQ(rec.entries[31].f0, 131);
    EXPECT_EQ(rec.entries[31].f16, 31);

    RecordHarness h;
    h.Log(0x1064, w.Bytes(), {ParseOnly1064});
    EXPECT_TRUE(h.Current().empty());
}

// ---- 0x1068 ----

// One 89-byte block: the eight rate bytes, the load word at +77, the rest filler.
Bytes RateBlock(std::initializer_list<uint8_t> rates, uint16_t load) {
    Bytes b(89, 0x00);
    size_t i = 0;
    for (uint8_t r : rates) b[i++] = r;
    StoreLE(b.data() + 77, load);
    return b;
}

struct RateCase {
    const char* name;
    Bytes block0, block1;
    int32_t carrierMode;
    uint8_t flag;
    Ids ids;
    int32_t load, index, rate;
};

class Record1068Rates : public ::testing::TestWithParam<RateCase> {};

TEST_P(Record1068Rates, LoadAndLargestRate) {
    const RateCase& c = GetParam();
    RecordHarness h;
    h.Ctx().carrierMode = c.carrierMode;
    h.Ctx().flag1068And1192 = c.flag;
    h.Log(0x1068, Concat({c.block0, c.block1}), {HandleRecord1068});
    EXPECT_EQ(h.Current(), c.ids);
    if (c.ids.size() == 3) {
        EXPECT_EQ(h.Value(0x7F018206), c.load);
    }
    if (!c.ids.empty()) {
        EXPECT_EQ(h.Value(0x7F018009), c.index);
        EXPECT_EQ(h.Value(0x7F01800A), c.rate);
    }
}

const Ids kAll1068 = {0x7F018206, 0x7F018009, 0x7F01800A};
const Ids kRateOnly = {0x7F018009, 0x7F01800A};

INSTANTIATE_TEST_SUITE_P(
    Cases, Record1068Rates,
    ::testing::Values(
        // Index 14 (3072000 bit/s) is the largest; load 8192 / 16384 = 50 % of the last block.
        RateCase{"Largest", RateBlock({0x12, 0x05, 0x40}, 1000), RateBlock({0x0E, 0xE0}, 8192),
                 kNoValue, 0, kAll1068, 5000, 14, 3072000},
        // 5 and 4 share 307200 bit/s: the first nibble read (the high one) wins.
        RateCase{"TieFirstWins", RateBlock({0x54}, 0), RateBlock({}, 16384), 0, 0, kAll1068, 10000,
                 5, 307200},
        RateCase{"AllZero", RateBlock({}, 0), RateBlock({}, 0), 0, 0, kAll1068, 0, 0, 0},
        // Load above 100 %: no load.
        RateCase{"LoadOver100", RateBlock({}, 0), RateBlock({0x30}, 0xFFFF), 0, 0, kRateOnly, 0, 3,
                 153600},
        RateCase{"SingleCarrierMode1", RateBlock({0x10}, 0), RateBlock({}, 100), 1, 0, kRateOnly, 0,
                 1, 38400},
        RateCase{"FlagOf1192", RateBlock({0x10}, 0), RateBlock({}, 100), 0, 1, kRateOnly, 0, 1,
                 38400},
        RateCase{"MultiCarrierSkips", RateBlock({0x10}, 0), RateBlock({}, 100), 2, 0, {}, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- 0x1069 ----

// One 13-byte entry: 4, 1 and 1 bits, alignment, then the six levels at +3 .. +13.
Bytes Entry1069(int16_t y, int16_t z, int16_t x, int16_t p, int16_t q1, int16_t q2) {
    BitWriter w;
    w.Lsb(3, 4).Lsb(1, 1).Lsb(0, 1).AlignZero();
    for (int16_t v : {y, z, x, p, q1, q2}) w.Lsb(static_cast<uint16_t>(v), 16);
    return w.Bytes();
}

TEST(Record1069, AveragesOfTheTwoEntries) {
    // Q1: (-20480 - 25600) / 2 = -23040, / 256 = -90 dBm; Q2: only -23040 is non-zero: -90;
    // P: (-5120 - 2560) / 2 / 256 = -15; X, Y, Z from the last entry: -1280, -2560, 512 / 256.
    RecordHarness h;
    h.Log(0x1069,
          Concat({Entry1069(0, 0, 0, -5120, -20480, 0),
                  Entry1069(-2560, 512, -1280, -2560, -25600, -23040)}),
          {HandleRecord1069});
    EXPECT_EQ(h.Current(),
              (Ids{0x7F018001, 0x7F018002, 0x7F018003, 0x7F018004, 0x7F018005, 0x7F018006}));
    EXPECT_EQ(h.Value(0x7F018001), -90000);
    EXPECT_EQ(h.Value(0x7F018002), -90000);
    EXPECT_EQ(h.Value(0x7F018003), -15000);
    EXPECT_EQ(h.Value(0x7F018004), -5000);
    EXPECT_EQ(h.Value(0x7F018005), -10000);
    EXPECT_EQ(h.Value(0x7F018006), 2000);
    EXPECT_EQ(h.Ctx().lastValue018001, -90000.0);
}

TEST(Record1069, ClampsAndMissingSecondLevel) {
    // Q1 -2560 / 256 = -10 -> -30; no second level; P 20000 / 2 / 256 = 39.06 -> 30;
    // X -16000 / 256 = -62.5 -> -60; Z 32767 / 256 = 127.996 -> 127.
    RecordHarness h;
    h.Log(0x1069,
          Concat({Entry1069(0, 0, 0, 20000, 0, 0), Entry1069(100, 32767, -16000, 0, -2560, 0)}),
          {HandleRecord1069});
    EXPECT_EQ(h.Current(), (Ids{0x7F018001, 0x7F018003, 0x7F018004, 0x7F018005, 0x7F018006}));
    EXPECT_EQ(h.Value(0x7F018001), -30000);
    EXPECT_EQ(h.Value(0x7F018003), 30000);
    EXPECT_EQ(h.Value(0x7F018004), -60000);
    EXPECT_EQ(h.Value(0x7F018005), 390);  // 100 / 256 = 0.390625
    EXPECT_EQ(h.Value(0x7F018006), 127000);
}

TEST(Record1069, NoLevelsNoData) {
    RecordHarness h;
    h.Log(0x1069, Concat({Entry1069(1, 2, 3, 4, 0, 0), Entry1069(1, 2, 3, 4, 0, 0)}),
          {HandleRecord1069});
    EXPECT_TRUE(h.Current().empty());
    EXPECT_EQ(h.Ctx().lastValue018001, kNoValueD);
}

// ---- 0x1183 ----

Bytes Record1183Payload(uint16_t h5, uint32_t w25) {
    Bytes p = {1, 2, 3, 4, 5};
    PutU16(p, h5);
    p.insert(p.end(), 12, 0x77);
    p.insert(p.end(), 6, 0x66);
    p.push_back(static_cast<uint8_t>(w25));
    p.push_back(static_cast<uint8_t>(w25 >> 8));
    p.push_back(static_cast<uint8_t>(w25 >> 16));
    p.push_back(0x29);
    p.insert(p.end(), 8, 0x30);
    return p;
}

TEST(Record1183, TwentyFourBitValueUnlessMarkedEmpty) {
    RecordHarness h;
    h.Log(0x1183, Record1183Payload(0x0100, 0x123456), {HandleRecord1183});
    EXPECT_EQ(h.Current(), Ids{0x7F018010});
    EXPECT_EQ(h.Value(0x7F018010), 0x123456);
    h.Log(0x1183, Record1183Payload(0x01FF, 0x654321), {HandleRecord1183});
    EXPECT_TRUE(h.Current().empty());
    EXPECT_EQ(h.Value(0x7F018010), 0x123456);
}

// ---- 0x1076 / 0x1077 ----

const Bytes kHeader = {1, 0xE1, 0x00, 0x4E, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xFF, 0x01};

TEST(Message1076, ValueMessageAndIdle) {
    RecordHarness h;
    h.Preset(0x7F010101, 5000);  // a traffic-only value from before
    h.Ctx().channelState = 2;
    h.Log(0x1076, Concat({kHeader, {0x90, 1, 42}}), {HandleMessage1076}, 0x10761001);
    EXPECT_EQ(h.Ctx().channelState, 0);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014, 0x7F018012, 0x7F010101}));
    EXPECT_EQ(h.Value(0x7F01C102), 0);
    EXPECT_EQ(h.Value(0x7F010014), 1);
    EXPECT_EQ(h.Value(0x7F018012), 42);
    EXPECT_EQ(h.State(0x7F010101), -1);
}

TEST(Message1076, OtherMessagesOrIdentifiersPublishNoValue) {
    RecordHarness h;
    h.Log(0x1076, Concat({kHeader, {17, 1, 42}}), {HandleMessage1076}, 0x10761001);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014}));
    h.Log(0x1076, Concat({kHeader, {16, 1, 42}}), {HandleMessage1076}, 0x10761100);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014}));

    const Bytes packet = Dispatched(LogPacket(0x1076, Concat({kHeader, {16, 0, 42}})));
    ValueMessage1076 msg;
    ParseValueMessage1076(View(packet), msg);
    EXPECT_EQ(msg.value, kNoValue);  // the flag is 0: no value follows
}

TEST(Message1077, TopThreeBits) {
    RecordHarness h;
    h.Ctx().channelState = 1;
    h.Log(0x1077, Concat({kHeader, {13, 0, 0xA0}}), {HandleMessage1077}, 0x10770D00);
    EXPECT_EQ(h.Ctx().channelState, 0);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014, 0x7F018011}));
    EXPECT_EQ(h.Value(0x7F018011), 5);
}

}  // namespace
}  // namespace tessavo::test

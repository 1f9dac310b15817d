// Small records: 0x1013, 0x1014, 0x105F, 0x1064, 0x1068, 0x1069, 0x1183, 0x1076, 0x1077.
#include "decoders/evdo/small_records.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <tuple>

#include "support/bit_writer.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

PacketView View(const Bytes& packet) {
    return PacketView(packet.data(), static_cast<int32_t>(packet.size()));
}

TEST(LeadingByteRecords, PublishTheirFirstBytes) {
    RecordHarness h;
    h.Log(0x1013, {3, 250, 9, 9, 9, 9, 9, 9, 9, 9}, {HandleRecord1013});
    h.ExpectCurrent({{0x7F01031A, 3}, {0x7F01031B, 250}});
    h.Log(0x105F, {0x21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {HandleRecord105F});
    h.ExpectCurrent({{0x7F01800C, 0x21}});
}

// ---- 0x1014 ----

Bytes PositionPayload(const std::string& lon, const std::string& lat, const std::string& f16,
                      const std::string& f20) {
    const std::string text = lon + lat + f16 + f20;
    return Concat({Zeros(6), Bytes(text.begin(), text.end()), {1, 2}});
}

TEST(Position, TextFieldsAsNumbers) {
    struct Case {
        std::string lon, lat, f16, f20;
        double longitude, latitude;
        int32_t field16, field20;
    };
    const Case cases[] = {
        {"11712345.", "3412345.", "123", "-45", 117.12345, 34.12345, 123, -45},
        // Leading blanks and a plus sign are taken; text that is no number gives 0; a zero
        // byte ends the text early.
        {"  +100000",
         std::string("5\0"
                     "9999999",
                     8),
         "abc", " 7.", 1.0, 0.00005, 0, 7},
        // An exponent, a hexadecimal number, and a value beyond the 32-bit range.
        {"1.5e+005x", "-250000e", "9e9", "0x1", 1.5, -2.5, INT32_MIN, 1},
        {"--1      ", "        ", "   ", "+-3", 0.0, 0.0, 0, 0},
    };
    for (const Case& c : cases) {
        RecordHarness h;
        h.Log(0x1014, PositionPayload(c.lon, c.lat, c.f16, c.f20), {HandlePosition});
        EXPECT_TRUE(h.Current().empty());
        EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107FC});
        EXPECT_EQ(h.Struct(0x7F0107FC).Length(), 24u);
        EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 0), c.longitude) << c.lon;
        EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 8), c.latitude) << c.lat;
        EXPECT_EQ(h.StructAt<int32_t>(0x7F0107FC, 16), c.field16) << c.f16;
        EXPECT_EQ(h.StructAt<int32_t>(0x7F0107FC, 20), c.field20) << c.f20;
    }
}

TEST(Position, DecimalPointIndependentOfTheHostLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    RecordHarness h;
    h.Log(0x1014, PositionPayload("11712345.", "3412345.", "123", "-45"), {HandlePosition});
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 0), 117.12345)
        << "locale " << (german ? german : "C");
}

// ---- 0x1064 ----

TEST(Record1064, EntryLayoutAndCountLimit) {
    BitWriter w;
    w.Lsb(0xCAFEBABE, 32).Lsb(1, 16).Lsb(2, 16).Lsb(40, 8);
    for (uint16_t i = 0; i < 40; ++i) {
        w.Lsb(100 + i, 16).Lsb(0x2ABCD, 18).AlignZero();  // the reader aligns twice: byte 5
        w.Lsb(0, 8).Lsb(0x0606, 16);                      // is skipped
        w.Lsb(1, 1).Lsb(0, 1).Lsb(1, 1).Lsb(9, 4).AlignZero();
        w.Lsb(5, 3).Lsb(6, 3).AlignZero();
        w.Lsb(0x1414, 16).Lsb(i, 16);
    }
    const Bytes packet = Dispatched(LogPacket(0x1064, w.Bytes()));
    Record1064 rec;
    ASSERT_EQ(ParseRecord1064(View(packet), rec), 1);
    EXPECT_EQ(rec.w0, 0xCAFEBABEu);
    EXPECT_EQ(rec.count, 32);
    const Entry1064& e = rec.entries[0];
    EXPECT_EQ(std::tuple(e.f0, e.f2, e.f6, e.f8, e.f9, e.f10, e.f11, e.f12, e.f13, e.f14, e.f16),
              std::tuple(100, 0x2ABCDu, 0x0606, 1, 0, 1, 9, 5, 6, 0x1414, 0));
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
    std::copy(rates.begin(), rates.end(), b.begin());
    StoreLE(b.data() + 77, load);
    return b;
}

TEST(Record1068, LoadAndLargestRate) {
    struct Case {
        Bytes block0, block1;
        int32_t carrierMode;
        uint8_t flag;
        IdValues expected;
    };
    const Case cases[] = {
        // Index 14 (3072000 bit/s) is the largest; load 8192 / 16384 = 50 % of the last block.
        {RateBlock({0x12, 0x05, 0x40}, 1000),
         RateBlock({0x0E, 0xE0}, 8192),
         kNoValue,
         0,
         {{0x7F018206, 5000}, {0x7F018009, 14}, {0x7F01800A, 3072000}}},
        // 5 and 4 share 307200 bit/s: the first nibble read (the high one) wins.
        {RateBlock({0x54}, 0),
         RateBlock({}, 16384),
         0,
         0,
         {{0x7F018206, 10000}, {0x7F018009, 5}, {0x7F01800A, 307200}}},
        {RateBlock({}, 0),
         RateBlock({}, 0),
         0,
         0,
         {{0x7F018206, 0}, {0x7F018009, 0}, {0x7F01800A, 0}}},
        // Load above 100 %: no load.
        {RateBlock({}, 0),
         RateBlock({0x30}, 0xFFFF),
         0,
         0,
         {{0x7F018009, 3}, {0x7F01800A, 153600}}},
        // Single carrier (mode 1 or the flag of 0x1192): no load; multi-carrier: nothing.
        {RateBlock({0x10}, 0), RateBlock({}, 100), 1, 0, {{0x7F018009, 1}, {0x7F01800A, 38400}}},
        {RateBlock({0x10}, 0), RateBlock({}, 100), 0, 1, {{0x7F018009, 1}, {0x7F01800A, 38400}}},
        {RateBlock({0x10}, 0), RateBlock({}, 100), 2, 0, {}},
    };
    for (const Case& c : cases) {
        RecordHarness h;
        h.Ctx().carrierMode = c.carrierMode;
        h.Ctx().flag1068And1192 = c.flag;
        h.Log(0x1068, Concat({c.block0, c.block1}), {HandleRecord1068});
        h.ExpectCurrent(c.expected);
    }
}

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
    h.ExpectCurrent({{0x7F018001, -90000},
                     {0x7F018002, -90000},
                     {0x7F018003, -15000},
                     {0x7F018004, -5000},
                     {0x7F018005, -10000},
                     {0x7F018006, 2000}});
    EXPECT_EQ(h.Ctx().lastValue018001, -90000.0);
    // Q1 -2560 / 256 = -10 -> -30; no second level; P 20000 / 2 / 256 = 39.06 -> 30;
    // X -16000 / 256 = -62.5 -> -60; Y 100 / 256 = 0.390625; Z 32767 / 256 = 127.996 -> 127.
    h.Log(0x1069,
          Concat({Entry1069(0, 0, 0, 20000, 0, 0), Entry1069(100, 32767, -16000, 0, -2560, 0)}),
          {HandleRecord1069});
    h.ExpectCurrent({{0x7F018001, -30000},
                     {0x7F018003, 30000},
                     {0x7F018004, -60000},
                     {0x7F018005, 390},
                     {0x7F018006, 127000}});
    // No levels: no data.
    RecordHarness empty;
    empty.Log(0x1069, Concat({Entry1069(1, 2, 3, 4, 0, 0), Entry1069(1, 2, 3, 4, 0, 0)}),
              {HandleRecord1069});
    EXPECT_TRUE(empty.Current().empty());
    EXPECT_EQ(empty.Ctx().lastValue018001, kNoValueD);
}

// ---- 0x1183 ----

TEST(Record1183, TwentyFourBitValueUnlessMarkedEmpty) {
    const auto payload = [](uint8_t h5, uint32_t w25) {
        return Concat({{1, 2, 3, 4, 5, h5, 0x01},
                       Bytes(12, 0x77),
                       Bytes(6, 0x66),
                       {uint8_t(w25), uint8_t(w25 >> 8), uint8_t(w25 >> 16), 0x29},
                       Bytes(8, 0x30)});
    };
    RecordHarness h;
    h.Log(0x1183, payload(0x00, 0x123456), {HandleRecord1183});
    h.ExpectCurrent({{0x7F018010, 0x123456}});
    h.Log(0x1183, payload(0xFF, 0x654321), {HandleRecord1183});  // the no-value mark
    EXPECT_TRUE(h.Current().empty());
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
    EXPECT_EQ(h.Value(0x7F018012), 42);
    EXPECT_EQ(h.State(0x7F010101), -1);
    // Another message, or the value message under another code, publishes no value.
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
    h.ExpectCurrent({{0x7F01C102, 0}, {0x7F010014, 1}, {0x7F018011, 5}});
}

}  // namespace
}  // namespace tessavo::test

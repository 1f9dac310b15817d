// Small records: 0x1013, 0x1014, 0x105F, 0x1064, 0x1068, 0x1069, 0x1183, 0x1076, 0x1077; the
// second-interface records 0x107A, 0x1080, 0x1088; the state bytes of 0x107E.
#include "decoders/evdo/small_records.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <tuple>

#include "decoders/evdo/second_interface_records.h"
#include "decoders/evdo/state_byte.h"
#include "support/bit_writer.h"
#include "unit/decoders/record_decoder_harness.h"

namespace tessavo::test {
namespace {

PacketView View(const Bytes& packet) {
    return PacketView(packet.data(), static_cast<int32_t>(packet.size()));
}

// 0x1014: six bytes, then the four text fields and two more bytes.
Bytes PositionPayload(const std::string& text) {
    return Concat({Zeros(6), Bytes(text.begin(), text.end()), {1, 2}});
}
// One 89-byte block of 0x1068: the eight rate bytes, the load word at +77, the rest filler.
Bytes RateBlock(std::initializer_list<uint8_t> rates, uint16_t load) {
    Bytes b(89, 0x00);
    std::copy(rates.begin(), rates.end(), b.begin());
    StoreLE(b.data() + 77, load);
    return b;
}
// One 13-byte entry of 0x1069: 4, 1 and 1 bits, alignment, then the six levels at +3 .. +13.
Bytes Entry1069(int16_t y, int16_t z, int16_t x, int16_t p, int16_t q1, int16_t q2) {
    BitWriter w;
    w.Lsb(3, 4).Lsb(1, 1).Lsb(0, 1).AlignZero();
    for (int16_t v : {y, z, x, p, q1, q2}) w.Lsb(static_cast<uint16_t>(v), 16);
    return w.Bytes();
}
Bytes P1183(uint8_t h5, uint32_t w25) {
    return Concat({Bytes{1, 2, 3, 4, 5, h5, 0x01},
                   Bytes(12, 0x77),
                   Bytes(6, 0x66),
                   {uint8_t(w25), uint8_t(w25 >> 8), uint8_t(w25 >> 16), 0x29},
                   Bytes(8, 0x30)});
}
Bytes P1080(uint16_t sector) {
    Bytes p;
    for (uint8_t i = 0; i < 16; ++i) p.push_back(static_cast<uint8_t>(0xA0 + i));
    return Concat({p, {0x16, 0x17}, U16s({sector})});
}
// 0x107E: r0 .. r8.
Bytes States(uint8_t r0, uint8_t r4, uint8_t r6 = 0, uint8_t r8 = 1) {
    return {r0, 11, 12, 13, r4, 15, r6, 17, r8};
}
const Bytes kHeader = {1, 0xE1, 0x00, 0x4E, 0x00, 0x04, 0x00, 0x00, 0xFF, 0xFF, 0x01};

// clang-format off
TEST(SmallRecords, LeadingBytesLevelsAndTwentyFourBitValue) {
    RecordHarness h;
    h.Steps({
        {0x1013, {3, 250, 9, 9, 9, 9, 9, 9, 9, 9}, {0x7F01031A, 3, 0x7F01031B, 250}},
        {0x105F, {0x21, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, {0x7F01800C, 0x21}},
        {0x1183, P1183(0x00, 0x123456), {0x7F018010, 0x123456}},
        {0x1183, P1183(0xFF, 0x654321), {}},  // the no-value mark
        // Q1: (-20480 - 25600) / 2 = -23040, / 256 = -90 dBm; Q2: only -23040 is non-zero: -90;
        // P: (-5120 - 2560) / 2 / 256 = -15; X, Y, Z from the last entry: -1280, -2560, 512 / 256.
        {0x1069, Concat({Entry1069(0, 0, 0, -5120, -20480, 0), Entry1069(-2560, 512, -1280, -2560, -25600, -23040)}),
         {0x7F018001, -90000, 0x7F018002, -90000, 0x7F018003, -15000, 0x7F018004, -5000, 0x7F018005, -10000, 0x7F018006, 2000}},
    });
    EXPECT_EQ(h.Ctx().lastValue018001, -90000.0);
    // Q1 -2560 / 256 = -10 -> -30; no second level; P 20000 / 2 / 256 = 39.06 -> 30;
    // X -16000 / 256 = -62.5 -> -60; Y 100 / 256 = 0.390625; Z 32767 / 256 = 127.996 -> 127.
    h.Steps({{0x1069, Concat({Entry1069(0, 0, 0, 20000, 0, 0), Entry1069(100, 32767, -16000, 0, -2560, 0)}),
              {0x7F018001, -30000, 0x7F018003, 30000, 0x7F018004, -60000, 0x7F018005, 390, 0x7F018006, 127000}}});
    RecordHarness empty;  // no levels: no data
    empty.Steps({{0x1069, Concat({Entry1069(1, 2, 3, 4, 0, 0), Entry1069(1, 2, 3, 4, 0, 0)}), {}}});
    EXPECT_EQ(empty.Ctx().lastValue018001, kNoValueD);
}

TEST(Position, TextFieldsAsNumbersWhateverTheLocale) {
    // Longitude (9 characters), latitude (8), two 3-character numbers.
    const std::tuple<std::string, double, double, int32_t, int32_t> cases[] = {
        {"11712345.3412345.123-45", 117.12345, 34.12345, 123, -45},
        // Leading blanks and a plus sign are taken; text that is no number gives 0; a zero
        // byte ends the text early.
        {std::string("  +1000005\0" "999999abc 7.", 23), 1.0, 0.00005, 0, 7},
        // An exponent, a hexadecimal number, and a value beyond the 32-bit range.
        {"1.5e+005x-250000e9e90x1", 1.5, -2.5, INT32_MIN, 1},
        {"--1                 +-3", 0.0, 0.0, 0, 0},
    };
    for (const auto& [text, longitude, latitude, field16, field20] : cases) {
        SCOPED_TRACE(text);
        RecordHarness h;
        h.Steps({{0x1014, PositionPayload(text), {}}});
        EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107FC});
        EXPECT_EQ(h.Struct(0x7F0107FC).Length(), 24u);
        EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 0), longitude);
        EXPECT_DOUBLE_EQ(h.StructAt<double>(0x7F0107FC, 8), latitude);
        EXPECT_EQ(std::tuple(h.StructAt<int32_t>(0x7F0107FC, 16), h.StructAt<int32_t>(0x7F0107FC, 20)), std::tuple(field16, field20));
    }
    // The decimal point does not depend on the host's locale.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    RecordHarness g;
    g.Routed(0x1014, PositionPayload("11712345.3412345.123-45"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_DOUBLE_EQ(g.StructAt<double>(0x7F0107FC, 0), 117.12345) << "locale " << (german ? german : "C");
}

TEST(Record1064, EntryLayoutAndCountLimit) {
    BitWriter w;
    w.Lsb(0xCAFEBABE, 32).Lsb(1, 16).Lsb(2, 16).Lsb(40, 8);
    for (uint16_t i = 0; i < 40; ++i) {
        w.Lsb(100 + i, 16).Lsb(0x2ABCD, 18).AlignZero().Lsb(0, 8).Lsb(0x0606, 16);  // the reader
        w.Lsb(1, 1).Lsb(0, 1).Lsb(1, 1).Lsb(9, 4).AlignZero();                     // aligns twice:
        w.Lsb(5, 3).Lsb(6, 3).AlignZero().Lsb(0x1414, 16).Lsb(i, 16);              // byte 5 skipped
    }
    const Bytes packet = Dispatched(LogPacket(0x1064, w.Bytes()));
    Record1064 rec;
    ASSERT_EQ(ParseRecord1064(View(packet), rec), 1);
    EXPECT_EQ(std::tuple(rec.w0, rec.count), std::tuple(0xCAFEBABEu, 32));
    const Entry1064& e = rec.entries[0];
    EXPECT_EQ(std::tuple(e.f0, e.f2, e.f6, e.f8, e.f9, e.f10, e.f11, e.f12, e.f13, e.f14, e.f16),
              std::tuple(100, 0x2ABCDu, 0x0606, 1, 0, 1, 9, 5, 6, 0x1414, 0));
    EXPECT_EQ(std::tuple(rec.entries[31].f0, rec.entries[31].f16), std::tuple(131, 31));
    RecordHarness h;
    h.Steps({{0x1064, w.Bytes(), {}}});
}

TEST(Record1068, LoadAndLargestRate) {
    const std::tuple<Bytes, Bytes, int32_t, uint8_t, std::vector<int64_t>> cases[] = {  // blocks, mode, flag
        // Index 14 (3072000 bit/s) is the largest; load 8192 / 16384 = 50 % of the last block.
        {RateBlock({0x12, 0x05, 0x40}, 1000), RateBlock({0x0E, 0xE0}, 8192), kNoValue, 0,
         {0x7F018206, 5000, 0x7F018009, 14, 0x7F01800A, 3072000}},
        // 5 and 4 share 307200 bit/s: the first nibble read (the high one) wins.
        {RateBlock({0x54}, 0), RateBlock({}, 16384), 0, 0, {0x7F018206, 10000, 0x7F018009, 5, 0x7F01800A, 307200}},
        {RateBlock({}, 0), RateBlock({}, 0), 0, 0, {0x7F018206, 0, 0x7F018009, 0, 0x7F01800A, 0}},
        {RateBlock({}, 0), RateBlock({0x30}, 0xFFFF), 0, 0, {0x7F018009, 3, 0x7F01800A, 153600}},  // load > 100 %
        // Single carrier (mode 1 or the flag of 0x1192): no load; multi-carrier: nothing.
        {RateBlock({0x10}, 0), RateBlock({}, 100), 1, 0, {0x7F018009, 1, 0x7F01800A, 38400}},
        {RateBlock({0x10}, 0), RateBlock({}, 100), 0, 1, {0x7F018009, 1, 0x7F01800A, 38400}},
        {RateBlock({0x10}, 0), RateBlock({}, 100), 2, 0, {}},
    };
    for (const auto& [block0, block1, mode, flag, expected] : cases) {
        RecordHarness h;
        h.Ctx().flag1068And1192 = flag;
        h.Steps({{0x1068, Concat({block0, block1}), expected, mode}});
    }
}

TEST(Messages, ValueMessageTopBitsAndIdle) {
    RecordHarness h;
    h.Preset(0x7F010101, 5000);  // a traffic-only value from before
    h.Ctx().channelState = 2;
    h.Routed(0x1076, Concat({kHeader, {0x90, 1, 42}}), 0x10761001);
    EXPECT_EQ(h.Ctx().channelState, 0);
    EXPECT_EQ(h.Current(), (Ids{0x7F01C102, 0x7F010014, 0x7F018012, 0x7F010101}));
    EXPECT_EQ(h.Value(0x7F018012), 42);
    EXPECT_EQ(h.State(0x7F010101), -1);
    h.Steps({
        // Another message, or the value message under another code, publishes no value.
        {0x1076, Concat({kHeader, {17, 1, 42}}), {0x7F01C102, 0, 0x7F010014, 1}, kKeepMode, 0, 0x10761001},
        {0x1076, Concat({kHeader, {16, 1, 42}}), {0x7F01C102, 0, 0x7F010014, 1}, kKeepMode, 0, 0x10761100},
    });
    h.Ctx().channelState = 1;  // 0x1077: the top three bits of 0xA0
    h.Steps({{0x1077, Concat({kHeader, {13, 0, 0xA0}}), {0x7F01C102, 0, 0x7F010014, 1, 0x7F018011, 5}, kKeepMode, 0, 0x10770D00}});
    EXPECT_EQ(h.Ctx().channelState, 0);
    const Bytes packet = Dispatched(LogPacket(0x1076, Concat({kHeader, {16, 0, 42}})));
    ValueMessage1076 msg;
    ParseValueMessage1076(View(packet), msg);
    EXPECT_EQ(msg.value, kNoValue);  // the flag is 0: no value follows
}

TEST(SecondInterfaceRecords, GroupCountsSectorAndBlobs) {
    for (uint8_t count : {0, 3, 255}) {
        Bytes p = {9, count, 0, 3, 3, 5, 2, 7, 1, 9, 9};
        p.resize(p.size() + 10u * (count + 2 + 1), 0xA0);
        RecordHarness h;
        h.Steps({{0x107A, p, {0x7F01800C, count}}});
    }
    const Bytes p = Concat({{9, 1, 0, 3, 3, 5, 1, 7, 1, 9, 9}, {0x01, 0x02, 0x03, 0x04, 0x65, 0xFF, 0x07, 0x08, 0xFF, 0xFF},
                            U16s({0x1111, 0x2222, 0x3333, 0xFFFF, 0xFFFF}), U16s({1, 2, 3, 4, 5})});  // one group each
    const Bytes packet = Dispatched(LogPacket(0x107A, p));
    Record107A rec;
    ParseRecord107A(View(packet), rec);
    const auto& a = rec.groupsA[0];
    EXPECT_EQ(std::vector<int>({a.f0, a.f2, a.f4, a.f5, a.f6, rec.groupsB[0].f4, rec.groupsD[0].f[4]}),
              std::vector<int>({0x0201, 0x0403, 5, 6, 0x0807, 0x3333, 5}));

    RecordHarness h;
    h.Steps({{0x1080, P1080(300), {0x7F01800F, 300}}});
    EXPECT_EQ(h.Ctx().referenceSector, 300);
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DC});
    EXPECT_EQ(h.Struct(0x7F0107DC).Length(), 28u);
    h.ExpectBytes(0x7F0107DC, 0, {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF});
    h.ExpectWords(0x7F0107DC, 16, {0x16, 0x17, 0});
    // A sector out of range keeps the reference and is not published; the blob still is.
    for (uint16_t sector : {0, 512, 65535}) {
        h.Steps({{0x1080, P1080(sector), {}}});
        EXPECT_EQ(h.Ctx().referenceSector, 300);
        EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DC});
    }

    // 0x1088: the word at 2 reaches no output.
    h.Steps({{0x1088, Concat({{0xEE, 0x21}, U16s({0xAD00, 0xBADB, 0x0606, 0x3880, 0x0001, 0xD4C0, 0x0001, 0xFFFE, 0xFFFF, 0x2020}),
                               {0x22, 0x34, 0x12}}),
              {0x7F01831C, 80000, 0x7F01831D, 120000, 0x7F01831E, -2, 0x7F01831F, 0x21, 0x7F018321, 0x0606,
               0x7F018322, 0x1234, 0x7F018323, 0x22, 0x7F018324, 0x2020}}});
    EXPECT_EQ(h.CurrentStructs(), Ids{0x7F0107DF});
    EXPECT_EQ(h.Struct(0x7F0107DF).Length(), 40u);
    h.ExpectWords(0x7F0107DF, 0, {0, 80000, 120000, 0xFFFFFFFE, 0x21, 0, 0x0606, 0x1234, 0x22, 0x2020});
}

TEST(StateBytes, NextMode) {
    const uint8_t cases[][5] = {  // mode before, r0, r4, r6, mode after
        {1, 0, 3, 0, 1}, {2, 2, 1, 0, 2}, {1, 3, 2, 1, 0}, {0, 3, 3, 9, 1}, {1, 3, 1, 2, 1}, {2, 3, 4, 0, 2},
        {0, 4, 1, 0, 1}, {2, 4, 3, 0, 1}, {0, 4, 2, 0, 0}, {0, 5, 0, 0, 2}, {1, 6, 1, 0, 1}};
    for (const auto& c : cases) {
        EXPECT_EQ(NextModeC103(c[0], c[1], c[2], c[3]), c[4]) << +c[0] << " " << +c[1] << " " << +c[2] << " " << +c[3];
    }
}

const std::vector<int64_t> kPublished = {0x7F01C103, 1, 0x7F018302, 3, 0x7F018301, 11, 0x7F018303, 12, 0x7F018304, 13,
                                         0x7F018305, 3, 0x7F018306, 17, 0x7F018307, 15, 0x7F018308, 9, 0x7F018309, 21};

TEST(StateBytes, PublishesTheNineBytesAndLessForSubState4AndState255) {
    RecordHarness h;
    h.Steps({{0x107E, States(3, 3, 9, 21), kPublished}});
    EXPECT_EQ(h.Ctx().modeC103, 1);
    EXPECT_EQ(std::tuple(h.Ctx().lastValue018302, h.Ctx().lastValue018309), std::tuple(3, 21));
    RecordHarness s;
    s.Routed(0x107E, States(4, 1, 0, 7));
    s.Routed(0x107E, States(4, 4, 0, 7));
    EXPECT_EQ(s.Current().size(), kPublished.size() / 2 - 1);
    EXPECT_EQ(s.Inherited(), Ids{0x7F018305});  // sub-state 4 is not published
    EXPECT_EQ(s.Value(0x7F018305), 1);
    s.Routed(0x107E, States(255, 3, 0, 0));
    EXPECT_EQ(s.Current(), Ids{0x7F01C103});
    EXPECT_EQ(std::tuple(s.Ctx().lastValue018302, s.Ctx().lastValue018309), std::tuple(4, 7));
}

TEST(StateBytes, State5ClearsTheFrameStatisticsState0TheSecondInterfaceValues) {
    RecordHarness h;
    h.Preset(0x7F010101, 50000);
    h.Preset(0x7F010205, 1500);
    h.Preset(0x7F010001, -80000);  // not in the group
    h.Routed(0x107E, States(5, 0));
    EXPECT_EQ(std::tuple(h.Ctx().modeC103, h.Value(0x7F01C103)), std::tuple(2, 2));
    EXPECT_EQ(std::tuple(h.State(0x7F01C103), h.State(0x7F010101), h.State(0x7F010205), h.State(0x7F010001)),
              std::tuple(1, -1, -1, 0));
    const Ids current = h.Current();  // the ten state values, then the cleared ones
    ASSERT_EQ(current.size(), kPublished.size() / 2 + 2);
    EXPECT_EQ(Ids(current.end() - 2, current.end()), (Ids{0x7F010101, 0x7F010205}));
    EXPECT_EQ(h.Ctx().lastValue018302, 5);
    // A packet in state 0 keeps mode 0: values of the second interface written before are
    // cleared in the same packet; with r8 = 0, 0x7F01000C to 0x7F01000E go too, not otherwise.
    for (uint8_t r8 : {0, 1}) {
        RecordHarness z;
        z.Preset(0x7F018003, -5000);
        z.Preset(0x7F01A501, 3);
        z.Preset(0x7F01000C, 100);
        z.Preset(0x7F018001, -90000);  // not in the group
        z.Routed(0x107E, States(0, 2, 0, r8));
        EXPECT_EQ(z.Ctx().modeC103, 0);
        EXPECT_EQ(std::tuple(z.State(0x7F018003), z.State(0x7F01A501), z.State(0x7F01000C), z.State(0x7F018001)),
                  std::tuple(-1, -1, r8 == 0 ? -1 : 0, 0));
    }
}

}  // namespace
}  // namespace tessavo::test

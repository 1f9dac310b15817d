#include "bits/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/bit_writer.h"

namespace tessavo {
namespace {

using Bytes = std::vector<uint8_t>;

// 1011 0101 0011 1100
const Bytes kSample = {0xB5, 0x3C};
constexpr uint8_t kUntouched = 0xEE;

enum class Op { Msb, Lsb, Skip, Align };

struct Step {
    Op op;
    int64_t bits;      // width for reads, distance for Skip; unused for Align
    int64_t capacity;  // output capacity for reads
    bool ok;           // read result; for Align, ok is unused and `out` holds {bits moved}
    Bytes out;         // the output bytes after the step (kUntouched where nothing was written)
    int64_t position;
    int64_t remaining;
};

struct SequenceCase {
    std::string name;
    Bytes buffer;
    std::vector<Step> steps;
};

void RunSequence(const SequenceCase& c) {
    BitReader reader;
    reader.Attach(c.buffer.data(), static_cast<int32_t>(c.buffer.size()));
    for (size_t i = 0; i < c.steps.size(); ++i) {
        const Step& s = c.steps[i];
        SCOPED_TRACE(c.name + ", step " + std::to_string(i));
        if (s.op == Op::Msb || s.op == Op::Lsb) {
            Bytes out(s.out.size(), kUntouched);
            const bool ok = s.op == Op::Msb ? reader.ReadMsbFirst(out.data(), s.capacity, s.bits)
                                            : reader.ReadLsbFirst(out.data(), s.capacity, s.bits);
            EXPECT_EQ(ok, s.ok);
            EXPECT_EQ(out, s.out);
        } else if (s.op == Op::Skip) {
            EXPECT_TRUE(reader.Skip(s.bits));
        } else {
            EXPECT_EQ(reader.AlignToNextByte(), s.out.at(0));
        }
        EXPECT_EQ(reader.Position(), s.position);
        EXPECT_EQ(reader.Remaining(), s.remaining);
        EXPECT_EQ(reader.IsExhausted(), s.remaining < 1);
    }
}

const std::vector<SequenceCase> kSequences = {
    // MSB-first: the field's value right-aligned, most significant byte first.
    {"msb 4 then 8",
     kSample,
     {{Op::Msb, 4, 1, true, {0x0B}, 5, 12}, {Op::Msb, 8, 1, true, {0x53}, 13, 4}}},
    {"msb 12", kSample, {{Op::Msb, 12, 2, true, {0x0B, 0x53}, 13, 4}}},
    {"msb 16", kSample, {{Op::Msb, 16, 2, true, {0xB5, 0x3C}, 17, 0}}},
    {"msb last nibble",
     kSample,
     {{Op::Skip, 12, 0, true, {}, 13, 4}, {Op::Msb, 4, 1, true, {0x0C}, 17, 0}}},
    // LSB-first: bits from the low end of each byte, bytes in stored order.
    {"lsb 4, 4, 8",
     kSample,
     {{Op::Lsb, 4, 1, true, {0x05}, 5, 12},
      {Op::Lsb, 4, 1, true, {0x0B}, 9, 8},
      {Op::Lsb, 8, 1, true, {0x3C}, 17, 0}}},
    {"lsb 12 is little-endian", kSample, {{Op::Lsb, 12, 2, true, {0xB5, 0x0C}, 13, 4}}},
    {"lsb 16", kSample, {{Op::Lsb, 16, 2, true, {0xB5, 0x3C}, 17, 0}}},
    {"lsb 3 bits inside a byte",
     kSample,
     {{Op::Lsb, 2, 1, true, {0x01}, 3, 14}, {Op::Lsb, 3, 1, true, {0x05}, 6, 11}}},
    // A misaligned LSB field comes out as two partial bytes: 0xB5 >> 4, then 0x3C & 0x0F.
    {"lsb misaligned needs room for partial bytes",
     kSample,
     {{Op::Lsb, 4, 1, true, {0x05}, 5, 12},
      {Op::Lsb, 8, 1, false, {kUntouched}, 5, 12},
      {Op::Lsb, 8, 2, true, {0x0B, 0x0C}, 13, 4}}},
    // Both disciplines share one cursor.
    {"msb after lsb nibble",
     kSample,
     {{Op::Lsb, 4, 1, true, {0x05}, 5, 12}, {Op::Msb, 8, 1, true, {0x53}, 13, 4}}},
    {"msb too small output still moves", kSample, {{Op::Msb, 16, 1, false, {kUntouched}, 17, 0}}},
    {"msb past the end exhausts for good",
     kSample,
     {{Op::Msb, 17, 4, false, {kUntouched, kUntouched, kUntouched}, 1, 0},
      {Op::Msb, 1, 1, false, {kUntouched}, 1, 0},
      {Op::Lsb, 1, 1, false, {kUntouched}, 1, 0},
      {Op::Skip, -8, 0, true, {}, 1, 0},
      {Op::Msb, 1, 1, false, {kUntouched}, 1, 0}}},
    {"lsb past the end exhausts",
     kSample,
     {{Op::Lsb, 12, 2, true, {0xB5, 0x0C}, 13, 4},
      {Op::Lsb, 5, 1, false, {kUntouched}, 13, 0},
      {Op::Lsb, 1, 1, false, {kUntouched}, 13, 0}}},
    // Width below 1: fails, nothing moves, the reader stays usable.
    {"zero and negative widths",
     kSample,
     {{Op::Msb, 0, 1, false, {kUntouched}, 1, 16},
      {Op::Lsb, -3, 1, false, {kUntouched}, 1, 16},
      {Op::Msb, -9, 1, false, {kUntouched}, 1, 16},
      {Op::Msb, 4, 1, true, {0x0B}, 5, 12}}},
    // Alignment: from the first bit of a byte a whole byte, from the last bit one bit.
    {"align from bit 1", kSample, {{Op::Align, 0, 0, true, {8}, 9, 8}}},
    {"align from bit 8",
     kSample,
     {{Op::Skip, 7, 0, true, {}, 8, 9}, {Op::Align, 0, 0, true, {1}, 9, 8}}},
    {"align from bit 12",
     kSample,
     {{Op::Skip, 11, 0, true, {}, 12, 5}, {Op::Align, 0, 0, true, {5}, 17, 0}}},
    {"align at the end exhausts",
     kSample,
     {{Op::Msb, 16, 2, true, {0xB5, 0x3C}, 17, 0},
      {Op::Align, 0, 0, true, {8}, 17, 0},
      {Op::Skip, -16, 0, true, {}, 17, 0},
      {Op::Msb, 8, 1, false, {kUntouched}, 17, 0}}},
    // Skips move both counters; past the end the reader stands at the end, exhausted.
    {"skip within",
     kSample,
     {{Op::Skip, 5, 0, true, {}, 6, 11}, {Op::Msb, 3, 1, true, {0x05}, 9, 8}}},
    {"skip past the end",
     kSample,
     {{Op::Skip, 20, 0, true, {}, 17, 0},
      {Op::Skip, -8, 0, true, {}, 17, 0},
      {Op::Lsb, 1, 1, false, {kUntouched}, 17, 0}}},
    {"skip back within the buffer",
     kSample,
     {{Op::Msb, 16, 2, true, {0xB5, 0x3C}, 17, 0},
      {Op::Skip, -8, 0, true, {}, 9, 8},
      {Op::Msb, 8, 1, true, {0x3C}, 17, 0}}},
    {"skip back before bit 1 exhausts",
     kSample,
     {{Op::Skip, 4, 0, true, {}, 5, 12},
      {Op::Skip, -5, 0, true, {}, 5, 0},
      {Op::Msb, 1, 1, false, {kUntouched}, 5, 0}}},
    {"huge skip does not wrap",
     kSample,
     {{Op::Skip, INT64_MAX, 0, true, {}, 17, 0}, {Op::Msb, 1, 1, false, {kUntouched}, 17, 0}}},
    // Fields wider than 64 bits (bytes 0x00, 0x11, ..., 0xCC, 0xDD).
    {"msb 100 bits from bit 5",
     {0x0F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD},
     {{Op::Msb, 4, 1, true, {0x00}, 5, 108},
      {Op::Msb,
       100,
       13,
       true,
       {0x0F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC},
       105,
       8}}},
    // Offset 3, 80 bits: eleven bytes touched; each but the last shifted right by 3, the last
    // keeps its low 3 bits.
    {"lsb 80 bits from bit 4",
     {0xF8, 0x10, 0x20, 0x40, 0x80, 0x08, 0x18, 0x28, 0x38, 0x48, 0xFF, 0x00},
     {{Op::Skip, 3, 0, true, {}, 4, 93},
      {Op::Lsb,
       80,
       11,
       true,
       {0x1F, 0x02, 0x04, 0x08, 0x10, 0x01, 0x03, 0x05, 0x07, 0x09, 0x07},
       84,
       13}}},
};

TEST(BitReader, ReadSequences) {
    for (const SequenceCase& c : kSequences) RunSequence(c);
}

TEST(BitReader, FreshReaderIsEmpty) {
    BitReader reader;
    EXPECT_EQ(reader.Position(), 1);
    EXPECT_EQ(reader.Remaining(), 0);
    EXPECT_TRUE(reader.IsExhausted());
    uint8_t out = kUntouched;
    EXPECT_FALSE(reader.ReadMsbFirst(&out, 1, 1));
    EXPECT_FALSE(reader.ReadLsbFirst(&out, 1, 1));
    EXPECT_EQ(out, kUntouched);
}

TEST(BitReader, AttachOfNothingReadsNothing) {
    const uint8_t byte = 0xFF;
    struct Case {
        const uint8_t* buffer;
        int32_t length;
    };
    for (const Case& c : {Case{nullptr, 4}, Case{&byte, -1}, Case{&byte, 0}}) {
        BitReader reader;
        reader.Attach(c.buffer, c.length);
        EXPECT_EQ(reader.Remaining(), 0);
        uint8_t out = kUntouched;
        EXPECT_FALSE(reader.ReadMsbFirst(&out, 1, 1));
        EXPECT_EQ(out, kUntouched);
    }
}

TEST(BitReader, AttachStartsOverAfterExhaustion) {
    BitReader reader;
    reader.Attach(kSample.data(), 2);
    uint8_t out[2] = {};
    EXPECT_FALSE(reader.ReadMsbFirst(out, 2, 17));
    reader.Attach(kSample.data(), 2);
    EXPECT_EQ(reader.Remaining(), 16);
    EXPECT_TRUE(reader.ReadMsbFirst(out, 2, 16));
    EXPECT_EQ(out[0], 0xB5);
}

TEST(BitReader, RemainingCountsInSixtyFourBits) {
    // The largest length a caller can pass has more bits than an int32 holds. Only the first
    // bytes are read, so a small buffer stands in for the large one.
    const Bytes buffer = {0xB5, 0x3C};
    BitReader reader;
    reader.Attach(buffer.data(), INT32_MAX);
    EXPECT_EQ(reader.Remaining(), int64_t{INT32_MAX} * 8);
    uint8_t out = kUntouched;
    EXPECT_TRUE(reader.ReadMsbFirst(&out, 1, 8));
    EXPECT_EQ(out, 0xB5);
    EXPECT_EQ(reader.Remaining(), int64_t{INT32_MAX} * 8 - 8);
    EXPECT_FALSE(reader.IsExhausted());
}

TEST(BitReader, ReadBytesKeepsStoredOrder) {
    const Bytes buffer = {0x01, 0x02, 0x03, 0x04};
    BitReader reader;
    reader.Attach(buffer.data(), 4);
    Bytes out(3, kUntouched);
    EXPECT_TRUE(reader.ReadBytes(out.data(), 3));
    EXPECT_EQ(out, (Bytes{0x01, 0x02, 0x03}));
    EXPECT_EQ(reader.Position(), 25);
    EXPECT_FALSE(reader.ReadBytes(out.data(), 2));  // 16 bits asked, 8 remain
    EXPECT_TRUE(reader.IsExhausted());
}

TEST(BitReader, ReadU16BigEndianLandsInHostOrder) {
    const Bytes buffer = {0x01, 0x02, 0x03};
    BitReader reader;
    reader.Attach(buffer.data(), 3);
    uint8_t out[2] = {kUntouched, kUntouched};
    EXPECT_TRUE(reader.ReadU16BigEndian(out));
    EXPECT_EQ(out[0], 0x02);
    EXPECT_EQ(out[1], 0x01);
    // Only one byte left: the first read fills out[1], the second fails.
    out[0] = out[1] = kUntouched;
    EXPECT_FALSE(reader.ReadU16BigEndian(out));
    EXPECT_EQ(out[1], 0x03);
    EXPECT_EQ(out[0], kUntouched);
}

// Fields written by the test bit writer read back as the values written.
TEST(BitReader, ReadsBackWhatTheWriterPacked) {
    struct Field {
        uint64_t value;
        int bits;
    };
    const std::vector<Field> msbFields = {{1, 1},
                                          {0x5, 3},
                                          {0x1FF, 9},
                                          {0x0, 2},
                                          {0xABCDE, 20},
                                          {0x3, 2},
                                          {0x7F, 7},
                                          {0x12345678, 32},
                                          {0xDEADBEEFCAFE, 48},
                                          {0x1, 1},
                                          {0xFFFFFFFFFFFFFFFF, 64}};
    test::BitWriter w;
    for (const Field& f : msbFields) w.Msb(f.value, f.bits);
    const Bytes bytes = w.Bytes();
    BitReader reader;
    reader.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
    for (const Field& f : msbFields) {
        uint8_t out[8] = {};
        const int size = (f.bits + 7) / 8;
        ASSERT_TRUE(reader.ReadMsbFirst(out, size, f.bits)) << f.bits;
        uint64_t value = 0;
        for (int i = 0; i < size; ++i) value = (value << 8) | out[i];
        EXPECT_EQ(value, f.value) << f.bits;
    }

    // LSB-first fields that stay inside one byte or start on a byte boundary.
    const std::vector<Field> lsbFields = {{0x1, 1},       {0x2, 2}, {0x15, 5},
                                          {0x0CB5, 12},   {0x9, 4}, {0xA5, 8},
                                          {0x123456, 24}, {0x3, 3}, {0x1F, 5}};
    test::BitWriter l;
    for (const Field& f : lsbFields) l.Lsb(f.value, f.bits);
    const Bytes lbytes = l.Bytes();
    reader.Attach(lbytes.data(), static_cast<int32_t>(lbytes.size()));
    for (const Field& f : lsbFields) {
        uint8_t out[8] = {};
        ASSERT_TRUE(reader.ReadLsbFirst(out, 8, f.bits)) << f.bits;
        uint64_t value = 0;
        for (int i = 7; i >= 0; --i) value = (value << 8) | out[i];
        EXPECT_EQ(value, f.value) << f.bits;
    }
}

// ---- Field temporaries ----

TEST(FieldTemps, LsbFieldsTakeTheirWidth) {
    const Bytes buffer = {0x78, 0x56, 0x34, 0x12, 0xB5, 0x3C, 0xFF};
    BitReader reader;
    reader.Attach(buffer.data(), static_cast<int32_t>(buffer.size()));
    FieldTemps t(reader);
    EXPECT_EQ(t.Lsb<uint32_t>(32), 0x12345678u);
    EXPECT_EQ(t.Lsb<uint16_t>(12), 0x0CB5u);
    int8_t signedByte = 0;
    t.Lsb(signedByte, 4);  // the high nibble of 0x3C
    EXPECT_EQ(signedByte, 3);
    EXPECT_EQ(t.Lsb<int8_t>(8), -1);  // the byte 0xFF read as a signed byte
}

TEST(FieldTemps, MisalignedLsbFieldIsTwoPartialBytes) {
    BitReader reader;
    reader.Attach(kSample.data(), 2);
    FieldTemps t(reader);
    EXPECT_EQ(t.Lsb<uint8_t>(4), 0x05);
    EXPECT_EQ(t.Lsb<uint16_t>(8), 0x0C0B);  // 0xB5 >> 4, then 0x3C & 0x0F
}

TEST(FieldTemps, FailedReadRepeatsThePreviousFieldOfItsWidth) {
    const Bytes buffer = {0x12, 0x34, 0x56};
    BitReader reader;
    reader.Attach(buffer.data(), 3);
    FieldTemps t(reader);
    EXPECT_EQ(t.Lsb<uint8_t>(8), 0x12);
    EXPECT_EQ(t.Lsb<uint16_t>(16), 0x5634);
    // The payload has ended: every field copies what its temporary last received.
    EXPECT_EQ(t.Lsb<uint8_t>(8), 0x12);
    EXPECT_EQ(t.Lsb<int8_t>(3), 0x12);  // same 1-byte temporary, whatever the signedness
    EXPECT_EQ(t.Lsb<uint16_t>(16), 0x5634);
    EXPECT_EQ(t.Msb<uint16_t>(9), 0x5634);
    EXPECT_EQ(t.Lsb<uint32_t>(32), 0u);  // never received anything
    EXPECT_EQ(t.Lsb<uint64_t>(40), 0u);
}

TEST(FieldTemps, MsbFieldsAreSwappedToHostOrder) {
    test::BitWriter w;
    w.Msb(0x1FF, 9).Msb(0x1234, 16).Msb(0xABCDE, 20).Msb(0x89ABCDEF, 32).Msb(0x5A, 8);
    w.Msb(0x0102030405, 40);
    const Bytes bytes = w.Bytes();
    BitReader reader;
    reader.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
    FieldTemps t(reader);
    EXPECT_EQ(t.Msb<uint16_t>(9), 0x1FF);
    EXPECT_EQ(t.Msb<uint16_t>(16), 0x1234);
    EXPECT_EQ(t.Msb<uint32_t>(20), 0xABCDEu);  // three bytes in a 4-byte temporary
    EXPECT_EQ(t.Msb<uint32_t>(32), 0x89ABCDEFu);
    EXPECT_EQ(t.Msb<uint8_t>(8), 0x5A);
    EXPECT_EQ(t.Msb<uint64_t>(40), 0x0102030405u);
}

TEST(FieldTemps, SignedMsbFieldsExtendTheirTopBit) {
    test::BitWriter w;
    w.Msb(0x3FFFFE, 22).Msb(0x7FFFFF, 23).Msb(0x200000, 22).Msb(0x1FFFFF, 22).Msb(0x20, 6);
    const Bytes bytes = w.Bytes();
    BitReader reader;
    reader.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
    FieldTemps t(reader);
    EXPECT_EQ(t.MsbSigned<int32_t>(22), -2);
    EXPECT_EQ(t.MsbSigned<int32_t>(23), -1);
    EXPECT_EQ(t.MsbSigned<int32_t>(22), -2097152);  // -2^21
    EXPECT_EQ(t.MsbSigned<int32_t>(22), 2097151);
    EXPECT_EQ(t.MsbSigned<int8_t>(6), -32);
}

TEST(FieldTemps, MsbFieldWiderThanItsTemporaryMovesButKeepsTheValue) {
    const Bytes buffer = {0xAB, 0xCD, 0xEF};
    BitReader reader;
    reader.Attach(buffer.data(), 3);
    FieldTemps t(reader);
    EXPECT_EQ(t.Msb<uint8_t>(4), 0x0A);
    EXPECT_EQ(t.Msb<uint8_t>(12), 0x0A);  // two bytes do not fit; the cursor moves anyway
    EXPECT_EQ(reader.Position(), 17);
    EXPECT_EQ(t.Msb<uint8_t>(8), 0xEF);
}

}  // namespace
}  // namespace tessavo

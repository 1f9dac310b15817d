#include "bits/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "support/bit_writer.h"

namespace tessavo {
namespace {

using Bytes = std::vector<uint8_t>;

// 1011 0101 0011 1100
const Bytes kSample = {0xB5, 0x3C};
constexpr uint8_t kUntouched = 0xEE;
constexpr uint8_t kU = kUntouched;

enum class Op { Msb, Lsb, Skip, Align };

struct Step {
    Op op;
    int64_t bits;      // width for reads, distance for Skip; for Align the bits it should move
    int64_t capacity;  // output capacity for reads
    bool ok;
    Bytes out;  // the output after the step (kU where nothing was written)
    int64_t position;
    int64_t remaining;
};

struct SequenceCase {
    std::string name;
    std::vector<Step> steps;
    Bytes buffer = kSample;
};

const Bytes kWide = {0x0F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66,
                     0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD};
const Bytes kLsbWide = {0xF8, 0x10, 0x20, 0x40, 0x80, 0x08, 0x18, 0x28, 0x38, 0x48, 0xFF, 0x00};
const Bytes kLsbWideOut = {0x1F, 0x02, 0x04, 0x08, 0x10, 0x01, 0x03, 0x05, 0x07, 0x09, 0x07};

const std::vector<SequenceCase> kSequences = {
    // MSB-first: the field's value right-aligned, most significant byte first.
    {"msb 4, 8", {{Op::Msb, 4, 1, true, {0x0B}, 5, 12}, {Op::Msb, 8, 1, true, {0x53}, 13, 4}}},
    {"msb 12", {{Op::Msb, 12, 2, true, {0x0B, 0x53}, 13, 4}}},
    {"msb last nibble", {{Op::Skip, 12, 0, true, {}, 13, 4}, {Op::Msb, 4, 1, true, {0x0C}, 17, 0}}},
    // LSB-first: bits from the low end of each byte, bytes in stored order.
    {"lsb 4, 4, 8",
     {{Op::Lsb, 4, 1, true, {0x05}, 5, 12},
      {Op::Lsb, 4, 1, true, {0x0B}, 9, 8},
      {Op::Lsb, 8, 1, true, {0x3C}, 17, 0}}},
    {"lsb 12 is little-endian", {{Op::Lsb, 12, 2, true, {0xB5, 0x0C}, 13, 4}}},
    {"lsb 2, 3", {{Op::Lsb, 2, 1, true, {0x01}, 3, 14}, {Op::Lsb, 3, 1, true, {0x05}, 6, 11}}},
    // A misaligned LSB field is two partial bytes (0xB5 >> 4, 0x3C & 0x0F); too small an
    // output fails without moving.
    {"lsb misaligned",
     {{Op::Lsb, 4, 1, true, {0x05}, 5, 12},
      {Op::Lsb, 8, 1, false, {kU}, 5, 12},
      {Op::Lsb, 8, 2, true, {0x0B, 0x0C}, 13, 4}}},
    {"one cursor", {{Op::Lsb, 4, 1, true, {0x05}, 5, 12}, {Op::Msb, 8, 1, true, {0x53}, 13, 4}}},
    {"msb too small output still moves", {{Op::Msb, 16, 1, false, {kU}, 17, 0}}},
    {"msb past the end exhausts for good",
     {{Op::Msb, 17, 4, false, {kU, kU, kU}, 1, 0},
      {Op::Msb, 1, 1, false, {kU}, 1, 0},
      {Op::Lsb, 1, 1, false, {kU}, 1, 0},
      {Op::Skip, -8, 0, true, {}, 1, 0},
      {Op::Msb, 1, 1, false, {kU}, 1, 0}}},
    {"lsb past the end",
     {{Op::Lsb, 12, 2, true, {0xB5, 0x0C}, 13, 4}, {Op::Lsb, 5, 1, false, {kU}, 13, 0}}},
    // Width below 1: fails, nothing moves, the reader stays usable.
    {"widths below 1",
     {{Op::Msb, 0, 1, false, {kU}, 1, 16},
      {Op::Lsb, -3, 1, false, {kU}, 1, 16},
      {Op::Msb, -9, 1, false, {kU}, 1, 16},
      {Op::Msb, 4, 1, true, {0x0B}, 5, 12}}},
    // Alignment: from the first bit of a byte a whole byte, from the last bit one bit; past
    // the end it exhausts.
    {"align from bit 1", {{Op::Align, 8, 0, true, {}, 9, 8}}},
    {"align from bits 8 and 12, then past the end",
     {{Op::Skip, 7, 0, true, {}, 8, 9},
      {Op::Align, 1, 0, true, {}, 9, 8},
      {Op::Skip, 3, 0, true, {}, 12, 5},
      {Op::Align, 5, 0, true, {}, 17, 0},
      {Op::Align, 8, 0, true, {}, 17, 0},
      {Op::Skip, -16, 0, true, {}, 17, 0},
      {Op::Msb, 8, 1, false, {kU}, 17, 0}}},
    // Skips: to the very end and back is fine; past either end exhausts.
    {"skip back from the end",
     {{Op::Msb, 16, 2, true, {0xB5, 0x3C}, 17, 0},
      {Op::Skip, -8, 0, true, {}, 9, 8},
      {Op::Msb, 8, 1, true, {0x3C}, 17, 0}}},
    {"skip past the end",
     {{Op::Skip, 20, 0, true, {}, 17, 0},
      {Op::Skip, -8, 0, true, {}, 17, 0},
      {Op::Lsb, 1, 1, false, {kU}, 17, 0}}},
    {"skip back before bit 1",
     {{Op::Skip, 4, 0, true, {}, 5, 12},
      {Op::Skip, -5, 0, true, {}, 5, 0},
      {Op::Msb, 1, 1, false, {kU}, 5, 0}}},
    {"huge skip does not wrap", {{Op::Skip, INT64_MAX, 0, true, {}, 17, 0}}},
    // Fields wider than 64 bits. MSB: the 100 bits after the first nibble, right-aligned,
    // are the first 13 bytes again.
    {"msb 100 bits from bit 5",
     {{Op::Msb, 4, 1, true, {0x00}, 5, 108},
      {Op::Msb, 100, 13, true, Bytes(kWide.begin(), kWide.end() - 1), 105, 8}},
     kWide},
    // Offset 3, 80 bits: eleven bytes touched, each but the last shifted right by 3, the last
    // keeping its low 3 bits.
    {"lsb 80 bits from bit 4",
     {{Op::Skip, 3, 0, true, {}, 4, 93}, {Op::Lsb, 80, 11, true, kLsbWideOut, 84, 13}},
     kLsbWide},
};

TEST(BitReader, ReadSequences) {
    for (const SequenceCase& c : kSequences) {
        BitReader reader;
        reader.Attach(c.buffer.data(), static_cast<int32_t>(c.buffer.size()));
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            SCOPED_TRACE(c.name + ", step " + std::to_string(i));
            if (s.op == Op::Msb || s.op == Op::Lsb) {
                Bytes out(s.out.size(), kU);
                EXPECT_EQ(s.op == Op::Msb ? reader.ReadMsbFirst(out.data(), s.capacity, s.bits)
                                          : reader.ReadLsbFirst(out.data(), s.capacity, s.bits),
                          s.ok);
                EXPECT_EQ(out, s.out);
            } else if (s.op == Op::Skip) {
                EXPECT_TRUE(reader.Skip(s.bits));
            } else {
                EXPECT_EQ(reader.AlignToNextByte(), s.bits);
            }
            EXPECT_EQ(reader.Position(), s.position);
            EXPECT_EQ(reader.Remaining(), s.remaining);
            EXPECT_EQ(reader.IsExhausted(), s.remaining < 1);
        }
    }
}

TEST(BitReader, AttachStartsOverAndEmptyAttachesReadNothing) {
    const uint8_t byte = 0xFF;
    BitReader fresh;
    EXPECT_EQ(fresh.Position(), 1);
    for (auto [buffer, length] : {std::pair{static_cast<const uint8_t*>(nullptr), 4},
                                  std::pair{&byte, -1}, std::pair{&byte, 0}}) {
        BitReader reader;
        reader.Attach(buffer, length);
        for (BitReader* r : {&fresh, &reader}) {
            EXPECT_EQ(r->Remaining(), 0);
            uint8_t out = kU;
            EXPECT_FALSE(r->ReadMsbFirst(&out, 1, 1));
            EXPECT_FALSE(r->ReadLsbFirst(&out, 1, 1));
            EXPECT_EQ(out, kU);
        }
    }
    // An exhausted reader is usable again after Attach.
    BitReader reader;
    reader.Attach(kSample.data(), 2);
    uint8_t out[2] = {};
    EXPECT_FALSE(reader.ReadMsbFirst(out, 2, 17));
    reader.Attach(kSample.data(), 2);
    EXPECT_TRUE(reader.ReadMsbFirst(out, 2, 16));
    EXPECT_EQ(out[0], 0xB5);
}

TEST(BitReader, RemainingCountsInSixtyFourBits) {
    // INT32_MAX bytes have more bits than an int32 holds; only the first byte is read.
    BitReader reader;
    reader.Attach(kSample.data(), INT32_MAX);
    uint8_t out = kU;
    EXPECT_TRUE(reader.ReadMsbFirst(&out, 1, 8));
    EXPECT_EQ(out, 0xB5);
    EXPECT_EQ(reader.Remaining(), int64_t{INT32_MAX} * 8 - 8);
}

TEST(BitReader, ByteReads) {
    const Bytes buffer = {0x01, 0x02, 0x03, 0x04};
    BitReader reader;
    reader.Attach(buffer.data(), 4);
    Bytes out(2, kU);
    // Big-endian 16 bits into host order: out[1] is read first.
    EXPECT_TRUE(reader.ReadU16BigEndian(out.data()));
    EXPECT_EQ(out, (Bytes{0x02, 0x01}));
    EXPECT_TRUE(reader.ReadBytes(out.data(), 1));
    EXPECT_EQ(out[0], 0x03);
    // One byte left: the first read fills out[1], the second fails.
    out = {kU, kU};
    EXPECT_FALSE(reader.ReadU16BigEndian(out.data()));
    EXPECT_EQ(out, (Bytes{kU, 0x04}));
    reader.Attach(buffer.data(), 4);
    EXPECT_FALSE(reader.ReadBytes(out.data(), 5));
    EXPECT_TRUE(reader.IsExhausted());
}

// ---- Field temporaries ----

TEST(FieldTemps, LsbFieldsTakeTheirWidth) {
    const Bytes buffer = {0x78, 0x56, 0x34, 0x12, 0xB5, 0x3C, 0xFF};
    BitReader reader;
    reader.Attach(buffer.data(), static_cast<int32_t>(buffer.size()));
    FieldTemps t(reader);
    EXPECT_EQ(t.Lsb<uint32_t>(32), 0x12345678u);
    EXPECT_EQ(t.Lsb<uint8_t>(4), 0x05);
    EXPECT_EQ(t.Lsb<uint16_t>(8), 0x0C0B);  // misaligned: 0xB5 >> 4, then 0x3C & 0x0F
    EXPECT_EQ(t.Lsb<int8_t>(4), 3);         // the high nibble of 0x3C
    EXPECT_EQ(t.Lsb<int8_t>(8), -1);
}

TEST(FieldTemps, MsbFieldsInHostOrderAndSignExtended) {
    test::BitWriter w;
    w.Msb(0x1FF, 9).Msb(0x1234, 16).Msb(0xABCDE, 20).Msb(0x89ABCDEF, 32).Msb(0x0102030405, 40);
    w.Msb(0x3FFFFE, 22).Msb(0x200000, 22).Msb(0x1FFFFF, 22).Msb(0x20, 6);
    const Bytes bytes = w.Bytes();
    BitReader reader;
    reader.Attach(bytes.data(), static_cast<int32_t>(bytes.size()));
    FieldTemps t(reader);
    EXPECT_EQ(t.Msb<uint16_t>(9), 0x1FF);
    EXPECT_EQ(t.Msb<uint16_t>(16), 0x1234);
    EXPECT_EQ(t.Msb<uint32_t>(20), 0xABCDEu);  // three bytes in a 4-byte temporary
    EXPECT_EQ(t.Msb<uint32_t>(32), 0x89ABCDEFu);
    EXPECT_EQ(t.Msb<uint64_t>(40), 0x0102030405u);
    EXPECT_EQ(t.MsbSigned<int32_t>(22), -2);
    EXPECT_EQ(t.MsbSigned<int32_t>(22), -2097152);  // -2^21
    EXPECT_EQ(t.MsbSigned<int32_t>(22), 2097151);
    EXPECT_EQ(t.MsbSigned<int8_t>(6), -32);
}

TEST(FieldTemps, FailedReadRepeatsThePreviousFieldOfItsWidth) {
    const Bytes buffer = {0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF};
    BitReader reader;
    reader.Attach(buffer.data(), 3);
    FieldTemps t(reader);
    EXPECT_EQ(t.Lsb<uint8_t>(8), 0x12);
    EXPECT_EQ(t.Lsb<uint16_t>(16), 0x5634);
    // The payload has ended: every field copies what its temporary last received.
    EXPECT_EQ(t.Lsb<int8_t>(3), 0x12);  // same 1-byte temporary, whatever the signedness
    EXPECT_EQ(t.Msb<uint16_t>(9), 0x5634);
    EXPECT_EQ(t.Lsb<uint32_t>(32), 0u);  // never received anything
    EXPECT_EQ(t.Lsb<uint64_t>(40), 0u);

    // An MSB field wider than its temporary fails but moves past the field.
    reader.Attach(buffer.data() + 3, 3);
    EXPECT_EQ(t.Msb<uint8_t>(4), 0x0A);
    EXPECT_EQ(t.Msb<uint8_t>(12), 0x0A);
    EXPECT_EQ(t.Msb<uint8_t>(8), 0xEF);
}

}  // namespace
}  // namespace tessavo

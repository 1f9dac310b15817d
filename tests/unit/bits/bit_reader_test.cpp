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

const Bytes kSample = {0xB5, 0x3C};  // 1011 0101 0011 1100
constexpr uint8_t kU = 0xEE;         // an output byte nothing wrote

enum Op { M, L, S, A };  // MSB-first read, LSB-first read, Skip, Align

// clang-format off
// `bits`: width for reads, distance for Skip, for Align the bits it should move; `capacity`: the
// output capacity for reads; `out`: the output after the step (kU where nothing was written).
struct Step { Op op; int64_t bits, capacity; bool ok; Bytes out; int64_t position, remaining; };
struct SequenceCase { std::string name; std::vector<Step> steps; Bytes buffer = kSample; };

const Bytes kWide = {0x0F, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD};
const Bytes kLsbWide = {0xF8, 0x10, 0x20, 0x40, 0x80, 0x08, 0x18, 0x28, 0x38, 0x48, 0xFF, 0x00};
const Bytes kLsbWideOut = {0x1F, 0x02, 0x04, 0x08, 0x10, 0x01, 0x03, 0x05, 0x07, 0x09, 0x07};

const std::vector<SequenceCase> kSequences = {
    // MSB-first: the field's value right-aligned, most significant byte first.
    {"msb 4, 8", {{M, 4, 1, 1, {0x0B}, 5, 12}, {M, 8, 1, 1, {0x53}, 13, 4}}},
    {"msb 12", {{M, 12, 2, 1, {0x0B, 0x53}, 13, 4}}},
    {"msb last nibble", {{S, 12, 0, 1, {}, 13, 4}, {M, 4, 1, 1, {0x0C}, 17, 0}}},
    // LSB-first: bits from the low end of each byte, bytes in stored order.
    {"lsb 4, 4, 8", {{L, 4, 1, 1, {0x05}, 5, 12}, {L, 4, 1, 1, {0x0B}, 9, 8}, {L, 8, 1, 1, {0x3C}, 17, 0}}},
    {"lsb 12 is little-endian", {{L, 12, 2, 1, {0xB5, 0x0C}, 13, 4}}},
    {"lsb 2, 3", {{L, 2, 1, 1, {0x01}, 3, 14}, {L, 3, 1, 1, {0x05}, 6, 11}}},
    // A misaligned LSB field is two partial bytes (0xB5 >> 4, 0x3C & 0x0F); too small an
    // output fails without moving.
    {"lsb misaligned",
     {{L, 4, 1, 1, {0x05}, 5, 12}, {L, 8, 1, 0, {kU}, 5, 12}, {L, 8, 2, 1, {0x0B, 0x0C}, 13, 4}}},
    {"one cursor", {{L, 4, 1, 1, {0x05}, 5, 12}, {M, 8, 1, 1, {0x53}, 13, 4}}},
    {"msb too small output still moves", {{M, 16, 1, 0, {kU}, 17, 0}}},
    {"msb past the end exhausts for good",
     {{M, 17, 4, 0, {kU, kU, kU}, 1, 0}, {M, 1, 1, 0, {kU}, 1, 0}, {L, 1, 1, 0, {kU}, 1, 0},
      {S, -8, 0, 1, {}, 1, 0}, {M, 1, 1, 0, {kU}, 1, 0}}},
    {"lsb past the end", {{L, 12, 2, 1, {0xB5, 0x0C}, 13, 4}, {L, 5, 1, 0, {kU}, 13, 0}}},
    // Width below 1: fails, nothing moves, the reader stays usable.
    {"widths below 1", {{M, 0, 1, 0, {kU}, 1, 16}, {L, -3, 1, 0, {kU}, 1, 16}, {M, -9, 1, 0, {kU}, 1, 16},
                        {M, 4, 1, 1, {0x0B}, 5, 12}}},
    // Alignment: from the first bit of a byte a whole byte, from the last bit one bit; past
    // the end it exhausts.
    {"align from bit 1", {{A, 8, 0, 1, {}, 9, 8}}},
    {"align from bits 8 and 12, then past the end",
     {{S, 7, 0, 1, {}, 8, 9}, {A, 1, 0, 1, {}, 9, 8}, {S, 3, 0, 1, {}, 12, 5}, {A, 5, 0, 1, {}, 17, 0},
      {A, 8, 0, 1, {}, 17, 0}, {S, -16, 0, 1, {}, 17, 0}, {M, 8, 1, 0, {kU}, 17, 0}}},
    // Skips: to the very end and back is fine; past either end exhausts.
    {"skip back from the end",
     {{M, 16, 2, 1, {0xB5, 0x3C}, 17, 0}, {S, -8, 0, 1, {}, 9, 8}, {M, 8, 1, 1, {0x3C}, 17, 0}}},
    {"skip past the end", {{S, 20, 0, 1, {}, 17, 0}, {S, -8, 0, 1, {}, 17, 0}, {L, 1, 1, 0, {kU}, 17, 0}}},
    {"skip back before bit 1", {{S, 4, 0, 1, {}, 5, 12}, {S, -5, 0, 1, {}, 5, 0}, {M, 1, 1, 0, {kU}, 5, 0}}},
    {"huge skip does not wrap", {{S, INT64_MAX, 0, 1, {}, 17, 0}}},
    // Wider than 64 bits. MSB: the 100 bits after the first nibble are the first 13 bytes again.
    {"msb 100 bits from bit 5",
     {{M, 4, 1, 1, {0x00}, 5, 108}, {M, 100, 13, 1, Bytes(kWide.begin(), kWide.end() - 1), 105, 8}}, kWide},
    // Offset 3, 80 bits: eleven bytes, each but the last shifted right by 3, the last its low 3.
    {"lsb 80 bits from bit 4", {{S, 3, 0, 1, {}, 4, 93}, {L, 80, 11, 1, kLsbWideOut, 84, 13}}, kLsbWide},
};
// clang-format on

TEST(BitReader, ReadSequences) {
    for (const SequenceCase& c : kSequences) {
        BitReader reader;
        reader.Attach(c.buffer.data(), static_cast<int32_t>(c.buffer.size()));
        for (size_t i = 0; i < c.steps.size(); ++i) {
            const Step& s = c.steps[i];
            SCOPED_TRACE(c.name + ", step " + std::to_string(i));
            if (s.op == M || s.op == L) {
                Bytes out(s.out.size(), kU);
                EXPECT_EQ(s.op == M ? reader.ReadMsbFirst(out.data(), s.capacity, s.bits)
                                    : reader.ReadLsbFirst(out.data(), s.capacity, s.bits),
                          s.ok);
                EXPECT_EQ(out, s.out);
            } else if (s.op == S) {
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
    // INT32_MAX bytes have more bits than an int32 holds; only the first byte is read.
    out[0] = kU;
    reader.Attach(kSample.data(), INT32_MAX);
    EXPECT_TRUE(reader.ReadMsbFirst(out, 1, 8));
    EXPECT_EQ(out[0], 0xB5);
    EXPECT_EQ(reader.Remaining(), int64_t{INT32_MAX} * 8 - 8);
}

TEST(BitReader, ByteReads) {
    const Bytes buffer = {0x01, 0x02, 0x03, 0x04};
    BitReader reader;
    reader.Attach(buffer.data(), 4);
    Bytes out(2, kU);
    EXPECT_TRUE(reader.ReadU16BigEndian(out.data()));  // into host order: out[1] is read first
    EXPECT_EQ(out, (Bytes{0x02, 0x01}));
    EXPECT_TRUE(reader.ReadBytes(out.data(), 1));
    EXPECT_EQ(out[0], 0x03);
    out = {kU, kU};  // one byte left: the first read fills out[1], the second fails
    EXPECT_FALSE(reader.ReadU16BigEndian(out.data()));
    EXPECT_EQ(out, (Bytes{kU, 0x04}));
    reader.Attach(buffer.data(), 4);
    EXPECT_FALSE(reader.ReadBytes(out.data(), 5));
    EXPECT_TRUE(reader.IsExhausted());
}

TEST(FieldTemps, WidthsSignsAndFailedReads) {
    const Bytes lsb = {0x78, 0x56, 0x34, 0x12, 0xB5, 0x3C, 0xFF};
    BitReader reader;
    reader.Attach(lsb.data(), static_cast<int32_t>(lsb.size()));
    FieldTemps t(reader);
    EXPECT_EQ(t.Lsb<uint32_t>(32), 0x12345678u);
    EXPECT_EQ(t.Lsb<uint8_t>(4), 0x05);
    EXPECT_EQ(t.Lsb<uint16_t>(8), 0x0C0B);  // misaligned: 0xB5 >> 4, then 0x3C & 0x0F
    EXPECT_EQ(t.Lsb<int8_t>(4), 3);         // the high nibble of 0x3C
    EXPECT_EQ(t.Lsb<int8_t>(8), -1);

    test::BitWriter w;
    w.Msb(0x1FF, 9).Msb(0x1234, 16).Msb(0xABCDE, 20).Msb(0x89ABCDEF, 32).Msb(0x0102030405, 40);
    w.Msb(0x3FFFFE, 22).Msb(0x200000, 22).Msb(0x1FFFFF, 22).Msb(0x20, 6);
    const Bytes msb = w.Bytes();
    reader.Attach(msb.data(), static_cast<int32_t>(msb.size()));
    FieldTemps m(reader);
    EXPECT_EQ(m.Msb<uint16_t>(9), 0x1FF);
    EXPECT_EQ(m.Msb<uint16_t>(16), 0x1234);
    EXPECT_EQ(m.Msb<uint32_t>(20), 0xABCDEu);  // three bytes in a 4-byte temporary
    EXPECT_EQ(m.Msb<uint32_t>(32), 0x89ABCDEFu);
    EXPECT_EQ(m.Msb<uint64_t>(40), 0x0102030405u);
    EXPECT_EQ(m.MsbSigned<int32_t>(22), -2);
    EXPECT_EQ(m.MsbSigned<int32_t>(22), -2097152);  // -2^21
    EXPECT_EQ(m.MsbSigned<int32_t>(22), 2097151);
    EXPECT_EQ(m.MsbSigned<int8_t>(6), -32);

    // Once the payload has ended every field copies what its temporary last received.
    const Bytes buffer = {0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF};
    reader.Attach(buffer.data(), 3);
    FieldTemps f(reader);
    EXPECT_EQ(f.Lsb<uint8_t>(8), 0x12);
    EXPECT_EQ(f.Lsb<uint16_t>(16), 0x5634);
    EXPECT_EQ(f.Lsb<int8_t>(3), 0x12);  // same 1-byte temporary, whatever the signedness
    EXPECT_EQ(f.Msb<uint16_t>(9), 0x5634);
    EXPECT_EQ(f.Lsb<uint32_t>(32), 0u);  // never received anything
    EXPECT_EQ(f.Lsb<uint64_t>(40), 0u);
    // An MSB field wider than its temporary fails but moves past the field.
    reader.Attach(buffer.data() + 3, 3);
    EXPECT_EQ(f.Msb<uint8_t>(4), 0x0A);
    EXPECT_EQ(f.Msb<uint8_t>(12), 0x0A);
    EXPECT_EQ(f.Msb<uint8_t>(8), 0xEF);
}

}  // namespace
}  // namespace tessavo

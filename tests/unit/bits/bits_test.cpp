// The bit reader and field temporaries, value conversions, digit decodings, index tables, the
// DIAG time stamp, and the library's Log10 and Exp10.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "bits/bit_reader.h"
#include "bits/conversions.h"
#include "bits/diag_time.h"
#include "bits/portable_math.h"
#include "support/bit_writer.h"
#include "support/time_zone.h"

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

TEST(BitReader, ReadSequencesEmptyBuffersAndByteReads) {
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
            EXPECT_EQ(std::tuple(reader.Position(), reader.Remaining(), reader.IsExhausted()),
                      std::tuple(s.position, s.remaining, s.remaining < 1));
        }
    }
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
    const Bytes buffer = {0x01, 0x02, 0x03, 0x04};
    reader.Attach(buffer.data(), 4);
    Bytes two(2, kU);
    EXPECT_TRUE(reader.ReadU16BigEndian(two.data()));  // into host order: two[1] is read first
    EXPECT_EQ(two, (Bytes{0x02, 0x01}));
    EXPECT_TRUE(reader.ReadBytes(two.data(), 1));
    EXPECT_EQ(two[0], 0x03);
    two = {kU, kU};  // one byte left: the first read fills two[1], the second fails
    EXPECT_FALSE(reader.ReadU16BigEndian(two.data()));
    EXPECT_EQ(two, (Bytes{kU, 0x04}));
    reader.Attach(buffer.data(), 4);
    EXPECT_FALSE(reader.ReadBytes(two.data(), 5));
    EXPECT_TRUE(reader.IsExhausted());
}

TEST(FieldTemps, WidthsSignsAndFailedReads) {
    const Bytes lsb = {0x78, 0x56, 0x34, 0x12, 0xB5, 0x3C, 0xFF};
    test::BitWriter w;
    w.Msb(0x1FF, 9).Msb(0x1234, 16).Msb(0xABCDE, 20).Msb(0x89ABCDEF, 32).Msb(0x0102030405, 40);
    const Bytes msb = w.Msb(0x3FFFFE, 22).Msb(0x200000, 22).Msb(0x1FFFFF, 22).Msb(0x20, 6).Bytes();
    const Bytes buffer = {0x12, 0x34, 0x56, 0xAB, 0xCD, 0xEF};
    BitReader readers[3];
    readers[0].Attach(lsb.data(), static_cast<int32_t>(lsb.size()));
    readers[1].Attach(msb.data(), static_cast<int32_t>(msb.size()));
    readers[2].Attach(buffer.data(), 3);
    FieldTemps t(readers[0]), m(readers[1]), f(readers[2]);
    // {read, expected}, read in order (a braced list is evaluated from left to right).
    // clang-format off
    const std::pair<int64_t, int64_t> reads[] = {
        {t.Lsb<uint32_t>(32), 0x12345678}, {t.Lsb<uint8_t>(4), 0x05},
        {t.Lsb<uint16_t>(8), 0x0C0B},  // misaligned: 0xB5 >> 4, then 0x3C & 0x0F
        {t.Lsb<int8_t>(4), 3} /* the high nibble of 0x3C */, {t.Lsb<int8_t>(8), -1},
        {m.Msb<uint16_t>(9), 0x1FF}, {m.Msb<uint16_t>(16), 0x1234},
        {m.Msb<uint32_t>(20), 0xABCDE},  // three bytes in a 4-byte temporary
        {m.Msb<uint32_t>(32), 0x89ABCDEF}, {m.Msb<uint64_t>(40), 0x0102030405},
        {m.MsbSigned<int32_t>(22), -2},
        {m.MsbSigned<int32_t>(22), -2097152} /* -2^21 */, {m.MsbSigned<int32_t>(22), 2097151},
        {m.MsbSigned<int8_t>(6), -32},
        // Once the payload has ended every field copies what its temporary last received.
        {f.Lsb<uint8_t>(8), 0x12}, {f.Lsb<uint16_t>(16), 0x5634},
        {f.Lsb<int8_t>(3), 0x12},  // same 1-byte temporary, whatever the signedness
        {f.Msb<uint16_t>(9), 0x5634}, {f.Lsb<uint32_t>(32), 0}, {f.Lsb<uint64_t>(40), 0},  // never received
        // An MSB field wider than its temporary fails but moves past the field.
        {(readers[2].Attach(buffer.data() + 3, 3), f.Msb<uint8_t>(4)), 0x0A}, {f.Msb<uint8_t>(12), 0x0A},
        {f.Msb<uint8_t>(8), 0xEF}};
    // clang-format on
    for (size_t i = 0; i < std::size(reads); ++i) EXPECT_EQ(reads[i].first, reads[i].second) << i;
}

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

constexpr int32_t kGpsEpochUtc = 315964800;  // 1980-01-06 00:00:00 UTC: 3657 days after 1970

TEST(Conversions, ValuesDigitsIndexTablesNaNOrderAndDiagTime) {
    // clang-format off
    const std::pair<double, int32_t> cases[] = {{1.9, 1}, {-1.9, -1}, {-0.5, 0}, {2147483647.9, 2147483647},
        {-2147483647.5, -2147483647}, {2147483648.0, kMin}, {-2147483648.9, kMin}, {-2147483649.0, kMin},
        {1e300, kMin}, {-kInf, kMin}, {kNan, kMin}};
    // 0.005f is 0.004999999888...; times 100 in float rounds to exactly 0.5f, so the rounding
    // gives 1, where the same value in double gives 0.99999998... and 0. 0.01f is
    // 0.0099999997...; times 1000 rounds to 10.0f in float, stays below 10 in double.
    const std::pair<int32_t, int32_t> scaled[] = {{Scale1000(-85.0), -85000}, {Scale1000(1e7), kMin},
        {Scale100Round(12.346), 1235}, {Scale100Round(-0.004), 0} /* -0.4 + 0.5 = 0.1 */,
        {Scale100Round(-12.346), -1234} /* -1234.6 + 0.5, toward zero */, {Scale100Round(0.005f), 1},
        {Scale100Round(static_cast<double>(0.005f)), 0}, {Scale1000(0.01f), 10},
        {Scale1000(static_cast<double>(0.01f)), 9}};
    // clang-format on
    for (const auto& [v, expected] : cases) EXPECT_EQ(TruncToI32(v), expected) << v;
    for (size_t i = 0; i < std::size(scaled); ++i)
        EXPECT_EQ(scaled[i].first, scaled[i].second) << i;
    // clang-format off
    const struct { const char* what; double got, expected, tolerance; } powers[] = {  // 0: exact
        {"RxAgc(0)", ConvertRxAgc(0), 256.0 / 3 - 148.581, 1e-12},  // about -63.248
        {"RxAgc(127)", ConvertRxAgc(127), 383.0 / 3 - 148.581, 1e-12},
        {"RxAgc(128)", ConvertRxAgc(128), -105.91433, 1e-5}, {"RxAgc(255)", ConvertRxAgc(255), -63.581, 1e-9},
        {"RxAgc(-1)", ConvertRxAgc(-1), 255.0 / 3 - 148.581, 1e-12},
        {"NegHalf(-7)", ConvertNegHalf(-7), 3.5, 0}, {"NegHalf(min)", ConvertNegHalf(INT16_MIN), 16384.0, 0},
        {"TxThird(-30)", ConvertTxThird(-30), -62.25, 1e-12},
        {"Log255(255)", ConvertLog255(255), -0.53460, 1e-5},
        {"Log255(1000) clamps", ConvertLog255(1000), ConvertLog255(255), 0},
        {"Log255(10)", ConvertLog255(10), -14.6, 1e-12}, {"Log255(1)", ConvertLog255(1), -24.6, 1e-12},
        {"Log255(0)", ConvertLog255(0), -24.600000381469727, 0},  // the single-precision -24.6
        {"Log48(1000) no clamp", ConvertLog48(1000), -18.7, 1e-12},
        {"Log48(1)", ConvertLog48(1), -48.7, 1e-12},
        {"Log48(0)", ConvertLog48(0), -24.600000381469727, 0}, {"Log512(512)", ConvertLog512(512), 0.0, 0},
        {"Log512(5120)", ConvertLog512(5120), 10.0, 1e-12}, {"Log512(1)", ConvertLog512(1), -27.0927, 1e-4},
        {"Log512(0)", ConvertLog512(0), -9999.0, 0}, {"Log512(-512)", ConvertLog512(-512), -9999.0, 0},
        // -10 log10(1 + 10^(-x/10)), in single precision.
        {"SinrShare(0)", ConvertSinrShare(0.0f), -3.0103, 1e-4},
        {"SinrShare(-10)", ConvertSinrShare(-10.0f), -10.41393, 1e-4},
        {"SinrShare(10)", ConvertSinrShare(10.0f), -0.41393, 1e-4},
        {"SinrShare(100)", ConvertSinrShare(100.0f), 0.0, 0},  // 1 + 1e-10 is 1 in float
        // 10^-100 is 0 in float: the inversion is skipped, 0 dB rather than -1000.
        {"SinrShare(-1000)", ConvertSinrShare(-1000.0f), 0.0, 0},
    };
    // clang-format on
    static_assert(std::is_same_v<decltype(ConvertSinrShare(0.0f)), float>);
    for (const auto& c : powers) EXPECT_NEAR(c.got, c.expected, c.tolerance) << c.what;
    // V = E + 111; digits 1..10 with 10 for 0.
    // clang-format off
    const std::pair<uint16_t, int32_t> mcc[] = {{320, 310} /* E = 209 */, {1101, 1}, {1110, 0},
        {111, 111} /* E = 0: digits 1 1 1 */, {1100, 90} /* digits 10 9 10: "090" */,
        {1000, 990} /* digits 9 9 10 */, {310, 200} /* 2 10 10 */, {1011, 11} /* 10 1 1: "011" */};
    // clang-format on
    for (const auto& [v, expected] : mcc) EXPECT_EQ(DecodeMcc(v), expected) << v;
    for (uint32_t e = 0; e <= 999; ++e) {
        EXPECT_EQ(static_cast<int32_t>(DecodeThreeDigits(e)),
                  DecodeMcc(static_cast<uint16_t>(e + 111)))
            << e;
    }
    // clang-format off
    const std::pair<uint8_t, uint8_t> mnc[] = {{9 + 11, 10} /* digits 1 10 */, {99 + 11, 0} /* 10 10: "00" */,
        {0 + 11, 11}, {89 + 11, 90} /* 9 10 */, {90 + 11, 1} /* 10 1: "01" */, {45 + 11, 56}};
    // clang-format on
    for (const auto& [v, expected] : mnc) EXPECT_EQ(DecodeMnc(v), expected) << int{v};
    const auto imsiS = [](uint64_t first3, uint64_t next3, uint64_t digit, uint64_t last3) {
        return (first3 << 24) | (next3 << 14) | (digit << 10) | last3;
    };
    // "555 123 4 567": 555 -> 444, 123 -> 12, 4, 567 -> 456.
    EXPECT_EQ(DecodeImsiS(imsiS(444, 12, 4, 456)), 5551234567u);
    // "310 000 0 000": 000 is sent as 999, the digit 0 as 10; bits above 33 do not count.
    EXPECT_EQ(DecodeImsiS(imsiS(209, 999, 10, 999) | (uint64_t{0xFF} << 34)), 3100000000u);
    // clang-format off
    const int32_t rates[] = {0, 38400, 76800, 153600, 307200, 307200, 614400, 614400, 921600, 1228800,
                             1228800, 1843200, 2457600, 1536000, 3072000, 0};
    const int32_t sizes[] = {0, 128, 256, 512, 768, 1024, 1536, 2048, 3072, 4096, 6144, 8192, 12288, 0};
    // clang-format on
    for (int i = 0; i <= 15; ++i) EXPECT_EQ(DrcIndexToRate(static_cast<int8_t>(i)), rates[i]);
    EXPECT_EQ(DrcIndexToRate(-1), 0);
    EXPECT_EQ(DrcIndexToRate(127), 0);
    for (int i = 0; i <= 13; ++i) EXPECT_EQ(PacketSizeIndexToBits(i), sizes[i]) << i;
    EXPECT_EQ(PacketSizeIndexToBits(-1), 0);
    // clang-format off
    const struct { uint8_t a, b; int32_t expected; } pairs[] = {
        {1, 200, 0}, {2, 0, 2}, {2, 2, 1}, {2, 1, -9999}, {2, 3, -9999}, {3, 0, 2}, {3, 2, 3},
        {3, 3, 4}, {3, 1, -9999}, {4, 9, 5}, {5, 0, 6}, {6, 255, 7}, {0, 0, -9999}, {7, 0, -9999},
    };
    // clang-format on
    for (const auto& p : pairs) EXPECT_EQ(MapCodePair(p.a, p.b), p.expected) << +p.a << +p.b;
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes32(0xFF000001u), 0x010000FFu);
    // A NaN loses only when it stands second: every comparison with it is false.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(MinFloat(1.5f, -2.0f), -2.0f);
    EXPECT_EQ(MinFloat(1.0f, nan), 1.0f);
    EXPECT_TRUE(std::isnan(MinFloat(nan, 1.0f)));
    EXPECT_EQ(MaxFloat(1.0f, nan), 1.0f);
    EXPECT_TRUE(std::isnan(MaxFloat(nan, 1.0f)));
    const auto Stamp = [](uint64_t ticks, uint16_t low = 0) { return (ticks << 16) | low; };
    // A zone with daylight saving at UTC+10: the origin is taken without it, as 08:00 at UTC+10
    // (22:00 UTC the day before), whether saving is in effect then (southern-hemisphere rules)
    // or half a year later (the United States rules, all the Windows C library knows).
#if defined(_WIN32)
    const char* kAest = "AES-10ADT";
#else
    const char* kAest = "AEST-10AEDT,M10.1.0,M4.1.0/3";
#endif
    // clang-format off
    const struct { const char* zone; uint64_t stamp; int32_t seconds, microseconds; } zones[] = {
        {"CST-8", Stamp(0), kGpsEpochUtc, 0},  // 1980-01-06 08:00 local is the GPS epoch
        {"CST-8", Stamp(799), kGpsEpochUtc, 998750}, {"CST-8", Stamp(800), kGpsEpochUtc + 1, 0},
        {"CST-8", Stamp(801, 0xFFFF), kGpsEpochUtc + 1, 1250},  // the low 16 bits are not time
        // 2024-01-01 00:00:00 at UTC+8 is 1704038400.
        {"CST-8", Stamp(uint64_t{1704038400 - kGpsEpochUtc} * 800 + 2), 1704038400, 2500},
        // The largest tick count: 351843720888 s and 255 ticks past the epoch; the 32-bit
        // seconds word keeps the low 32 bits of 352159685688.
        {"CST-8", ~uint64_t{0}, -27632584, 318750},
        {"UTC0", Stamp(801), kGpsEpochUtc + 8 * 3600 + 1, 1250},
        {kAest, Stamp(0), kGpsEpochUtc - 2 * 3600, 0},
        // Half a year later (without daylight saving) the count goes on unchanged.
        {kAest, Stamp(uint64_t{182} * 86400 * 800 + 400), kGpsEpochUtc - 7200 + 182 * 86400, 500000},
    };
    // clang-format on
    for (const auto& c : zones) {
        test::ScopedTimeZone zone(c.zone);
        const TimePair p = DiagTimeToPair(c.stamp);
        EXPECT_EQ(std::pair(p.seconds, p.microseconds), std::pair(c.seconds, c.microseconds))
            << c.zone << " " << std::hex << c.stamp;
    }
    {
        // A decode call reads the zone once, when it begins: a change during it takes effect
        // at the next call.
        test::ScopedTimeZone before("CST-8");
        std::optional<ZoneReadOnce> call(std::in_place);
        {
            const ZoneReadOnce nested;
            test::ScopedTimeZone during("UTC0");
            EXPECT_EQ(DiagTimeToPair(Stamp(0)).seconds, kGpsEpochUtc);
            call.reset();
            EXPECT_EQ(DiagTimeToPair(Stamp(0)).seconds, kGpsEpochUtc);  // the nested one is open
        }
        test::ScopedTimeZone after("UTC0");
        const ZoneReadOnce next;
        EXPECT_EQ(DiagTimeToPair(Stamp(0)).seconds, kGpsEpochUtc + 8 * 3600);
    }
    test::ScopedTimeZone zone("CST-8");
    // ticks 801 = 0x321 in the upper 48 bits: u64 0x0000'0000'0321'ABCD.
    const uint8_t stamp[8] = {0xCD, 0xAB, 0x21, 0x03};
    const TimePair p = DiagTimeToPair(stamp);
    EXPECT_EQ(std::pair(p.seconds, p.microseconds), std::pair(kGpsEpochUtc + 1, 1250));
    const uint8_t at799[8] = {0, 0, 0x1F, 0x03}, at800[8] = {0, 0, 0x20, 0x03};
    EXPECT_TRUE(DiagSecondsDiffer(at799, at800));
    EXPECT_FALSE(DiagSecondsDiffer(at799, at799));
    EXPECT_FALSE(DiagSecondsDiffer(Stamp(800), Stamp(1599)));
    EXPECT_TRUE(DiagSecondsDiffer(Stamp(1599), Stamp(1600)));
    // clang-format off
    const struct { TimePair a, b; double expected; } differences[] = {
        {{10, 500000}, {8, 750000}, 1.75}, {{8, 750000}, {10, 500000}, -1.75},
        // The subtractions wrap in 32 bits.
        {{INT32_MIN, 0}, {1, 0}, 2147483647.0}, {{INT32_MAX, 0}, {-1, 0}, -2147483648.0},
        {{0, INT32_MIN}, {0, 1}, 2147.483647},
    };
    // clang-format on
    for (const auto& c : differences)
        EXPECT_DOUBLE_EQ(PairDifference(c.a, c.b), c.expected) << c.a.seconds;
    EXPECT_DOUBLE_EQ(PairToDayNumber({0, 0}), 25569.0);
    EXPECT_DOUBLE_EQ(PairToDayNumber({3 * 86400 + 43200, 999999}), 25572.5);  // no microseconds
    EXPECT_DOUBLE_EQ(PairToDayNumber({-86400, 0}), 25568.0);
    EXPECT_DOUBLE_EQ(PairToDayNumber({1704067200, 0}), 45292.0);  // 2024-01-01 00:00:00 UTC
}

// The library's Log10 and Exp10 on a few million arguments (the decoders' ranges and the
// whole double range): each result within the nearest double of an extended-precision
// reference, and its distance from the C library's log10 / pow(10, y) printed.

// Distance in units in the last place between two finite doubles of the same sign.
int64_t UlpDistance(double a, double b) {
    int64_t ia = 0, ib = 0;
    std::memcpy(&ia, &a, sizeof a);
    std::memcpy(&ib, &b, sizeof b);
    if (ia < 0) ia = std::numeric_limits<int64_t>::min() - ia;
    if (ib < 0) ib = std::numeric_limits<int64_t>::min() - ib;
    return ia > ib ? ia - ib : ib - ia;
}

// |a - exact| in units of the last place of a, with the reference standing in for exact.
double ErrorInUlps(double a, long double reference) {
    const double ulp = std::nextafter(std::fabs(a), INFINITY) - std::fabs(a);
    return static_cast<double>(std::fabs(static_cast<long double>(a) - reference) / ulp);
}

constexpr bool kReferenceIsWider = LDBL_MANT_DIG > DBL_MANT_DIG;
// The powl of the mingw-w64 runtime loses bits for large results (0.75 ulp of a double seen);
// glibc's powl and both libraries' log10l are accurate to a small fraction of a double's ulp.
#if defined(_WIN32)
constexpr bool kPowReferenceIsAccurate = false;
#else
constexpr bool kPowReferenceIsAccurate = true;
#endif
// glibc's log10 is within two units and its pow within one; the Windows C library's pow is
// not (hundreds of units for 10^y near the top of the range under wine).
#if defined(__GLIBC__)
constexpr bool kCLibraryIsClose = true;
#else
constexpr bool kCLibraryIsClose = false;
#endif

struct Family {
    const char* name;
    bool isLog;
    int count;
    double (*argument)(int i, std::mt19937_64& rng);
    bool checkReference;  // the extended-precision reference is accurate enough here
};

double Uniform(std::mt19937_64& rng, double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(rng() >> 11) * 0x1p-53);
}

using Rng = std::mt19937_64;
// clang-format off
const Family kFamilies[] = {
    {"log10 of counts 1..65535", true, 65535, [](int i, Rng&) { return i + 1.0; }, true},
    {"log10 of n/512, n = 1..1000000", true, 1000000, [](int i, Rng&) { return (i + 1) / 512.0; }, true},
    {"log10 of 16-bit counter ratios", true, 500000, [](int, Rng& rng) {
         return static_cast<double>(rng() % 65535 + 1) / static_cast<double>(rng() % 65535 + 1); }, true},
    {"log10 over the whole range", true, 1000000, [](int, Rng& rng) {
         return std::ldexp(Uniform(rng, 1.0, 2.0), int(rng() % 2098) - 1074); }, true},
    {"10^(v/10), v = -3000..3000", false, 6001, [](int i, Rng&) { return (i - 3000) / 10.0; }, true},
    {"10^y, y in [-40, 10]", false, 1000000, [](int, Rng& rng) { return Uniform(rng, -40.0, 10.0); }, true},
    {"10^y, y in [-307, 308]", false, 1000000,
     [](int, Rng& rng) { return Uniform(rng, -307.0, 308.0); }, false},
    {"10^y, subnormal results", false, 100000,
     [](int, Rng& rng) { return Uniform(rng, -323.5, -307.7); }, false},
};
// clang-format on

TEST(PortableMath, NearestDoubleTheCLibraryExactPowersAndSpecialValues) {
    std::mt19937_64 rng(13);
    for (const Family& f : kFamilies) {
        int differing = 0;
        int shortcutDiffers = 0;  // against the full series
        int64_t largest = 0;
        double worst = 0.0;
        const bool checked =
            kReferenceIsWider && f.checkReference && (f.isLog || kPowReferenceIsAccurate);
        for (int i = 0; i < f.count; ++i) {
            const double x = f.argument(i, rng);
            const double ours = f.isLog ? Log10(x) : Exp10(x);
            shortcutDiffers += UlpDistance(ours, f.isLog ? FullSeriesLog10(x) : FullSeriesExp10(x)) != 0;
            const double theirs = f.isLog ? std::log10(x) : std::pow(10.0, x);
            const int64_t d = UlpDistance(ours, theirs);
            differing += d != 0;
            largest = std::max(largest, d);
            if (checked) {
                const long double r = f.isLog ? std::log10(static_cast<long double>(x))
                                              : std::pow(10.0L, static_cast<long double>(x));
                worst = std::max(worst, ErrorInUlps(ours, r));
            }
        }
        std::printf("%-32s %8d arguments: %6d differ from the C library, by at most %lld ulp",
                    f.name, f.count, differing, static_cast<long long>(largest));
        if (checked) std::printf("; largest error %.4f ulp", worst);
        std::printf("\n");
        // Nearest double, up to the reference's own error (about 2^-11 ulp).
        EXPECT_LE(worst, 0.5 + 1.0 / 64) << f.name;
        EXPECT_EQ(shortcutDiffers, 0) << f.name;
        EXPECT_LE(kCLibraryIsClose ? largest : 0, 2) << f.name;
    }
    double power = 1.0;
    for (int n = 0; n <= 22; ++n, power *= 10.0) {
        EXPECT_EQ(Log10(power), n);
        EXPECT_EQ(Exp10(n), power);
    }
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::nan("");
    // clang-format off
    const std::pair<double, double> logs[] = {{0.0, -inf}, {-0.0, -inf}, {-1.0, nan}, {nan, nan}, {inf, inf},
        {0x0.0000000000001p-1022, -0x1.434e6420f4374p+8}};  // -323.3062153431158
    const std::pair<double, double> exps[] = {{nan, nan}, {308.3, inf}, {-inf, 0.0}, {-324.0, 0.0},
        {308.25, 0x1.fa788589d81d3p+1023},  // 1.7782794100389228e308
        {-323.5, 0x0.0000000000001p-1022}};  // 3.16e-324: the smallest subnormal
    // clang-format on
    for (const auto& [x, y] : logs)
        EXPECT_TRUE(std::isnan(y) ? std::isnan(Log10(x)) : Log10(x) == y) << x;
    for (const auto& [x, y] : exps)
        EXPECT_TRUE(std::isnan(y) ? std::isnan(Exp10(x)) : Exp10(x) == y) << x;
}

// Results are remembered per argument: a repeat, after thousands of other arguments have
// shared the table's entries, gives the same bits as the first call; so does another thread.
TEST(PortableMath, RepeatsGiveTheFirstResult) {
    std::vector<double> args;
    for (int v = -3000; v <= 3000; ++v) args.push_back(v / 10.0);
    for (int n = 1; n <= 5000; ++n) args.push_back(n / 512.0);
    args.push_back(0.0);
    args.push_back(-0.0);
    std::vector<std::pair<double, double>> first;
    for (double x : args) first.emplace_back(Log10(x), Exp10(x));
    const auto sameBits = [](double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    const auto check = [&] {
        int wrong = 0;
        for (size_t i = args.size(); i-- > 0;) {
            wrong += !sameBits(Log10(args[i]), first[i].first);
            wrong += !sameBits(Exp10(args[i]), first[i].second);
        }
        return wrong;
    };
    EXPECT_EQ(check(), 0);
    int otherThread = -1;
    std::thread([&] { otherThread = check(); }).join();
    EXPECT_EQ(otherThread, 0);
}

}  // namespace
}  // namespace tessavo

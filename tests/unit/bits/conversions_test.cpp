#include "bits/conversions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace tessavo {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(TruncToI32, TruncatesTowardZeroAndMarksWhatDoesNotFit) {
    struct Case {
        double v;
        int32_t expected;
    };
    const Case cases[] = {
        {0.0, 0},
        {1.9, 1},
        {-1.9, -1},
        {-0.5, 0},
        {2147483647.0, 2147483647},
        {2147483647.9, 2147483647},
        {2147483648.0, kMin},
        {-2147483648.0, kMin},
        {-2147483648.9, kMin},  // truncates to -2^31, which fits
        {-2147483649.0, kMin},
        {1e300, kMin},
        {-1e300, kMin},
        {kInf, kMin},
        {-kInf, kMin},
        {kNan, kMin},
    };
    for (const Case& c : cases) EXPECT_EQ(TruncToI32(c.v), c.expected) << c.v;
    EXPECT_EQ(TruncToI32(-2147483647.5), -2147483647);
}

TEST(Scaling, DoubleValues) {
    EXPECT_EQ(Scale1000(-85.0), -85000);
    EXPECT_EQ(Scale1000(-0.0005), 0);  // -0.5 truncates toward zero
    EXPECT_EQ(Scale1000(1e7), kMin);   // beyond int32
    EXPECT_EQ(Scale100Round(12.344), 1234);
    EXPECT_EQ(Scale100Round(12.346), 1235);
    EXPECT_EQ(Scale100Round(-0.004), 0);       // -0.4 + 0.5 = 0.1
    EXPECT_EQ(Scale100Round(-12.346), -1234);  // -1234.6 + 0.5, toward zero
    EXPECT_EQ(Scale100Round(kNan), kMin);
}

TEST(Scaling, SingleValuesStayInSinglePrecision) {
    // 0.005f is 0.004999999888...; times 100 in float rounds to exactly 0.5f, so the rounding
    // gives 1, where the same value in double gives 0.99999998... and 0.
    EXPECT_EQ(Scale100Round(0.005f), 1);
    EXPECT_EQ(Scale100Round(static_cast<double>(0.005f)), 0);
    // 0.01f is 0.0099999997...; times 1000 rounds to 10.0f in float, stays below 10 in double.
    EXPECT_EQ(Scale1000(0.01f), 10);
    EXPECT_EQ(Scale1000(static_cast<double>(0.01f)), 9);
}

TEST(PowerConversions, ExamplesAndLimits) {
    EXPECT_NEAR(ConvertRxAgc(0), 256.0 / 3 - 148.581, 1e-12);  // about -63.248
    EXPECT_NEAR(ConvertRxAgc(0), -63.24767, 1e-5);
    EXPECT_NEAR(ConvertRxAgc(127), 383.0 / 3 - 148.581, 1e-12);
    EXPECT_NEAR(ConvertRxAgc(128), -105.91433, 1e-5);
    EXPECT_NEAR(ConvertRxAgc(255), -63.581, 1e-9);
    EXPECT_NEAR(ConvertRxAgc(-1), 255.0 / 3 - 148.581, 1e-12);  // signed comparison

    EXPECT_EQ(ConvertNegHalf(-7), 3.5);
    EXPECT_EQ(ConvertNegHalf(6), -3.0);
    EXPECT_EQ(ConvertNegHalf(INT16_MIN), 16384.0);

    EXPECT_EQ(ConvertTxThird(3), -51.25);
    EXPECT_NEAR(ConvertTxThird(-30), -62.25, 1e-12);

    EXPECT_NEAR(ConvertLog255(255), -0.53460, 1e-5);
    EXPECT_EQ(ConvertLog255(1000), ConvertLog255(255));
    EXPECT_NEAR(ConvertLog255(10), -14.6, 1e-12);
    EXPECT_NEAR(ConvertLog255(1), -24.6, 1e-12);
    // The zero case is the single-precision -24.6, not the double.
    EXPECT_EQ(ConvertLog255(0), -24.600000381469727);
    EXPECT_EQ(ConvertLog255(0), static_cast<double>(-24.6f));

    EXPECT_NEAR(ConvertLog48(1000), -18.7, 1e-12);  // no clamp at 255
    EXPECT_NEAR(ConvertLog48(1), -48.7, 1e-12);
    EXPECT_EQ(ConvertLog48(0), static_cast<double>(-24.6f));  // not -48.7

    EXPECT_EQ(ConvertLog512(512), 0.0);
    EXPECT_NEAR(ConvertLog512(5120), 10.0, 1e-12);
    EXPECT_NEAR(ConvertLog512(1), -27.0927, 1e-4);
    EXPECT_EQ(ConvertLog512(0), -9999.0);
    EXPECT_EQ(ConvertLog512(-512), -9999.0);
}

TEST(PowerConversions, SinrShareIsSinglePrecision) {
    static_assert(std::is_same_v<decltype(ConvertSinrShare(0.0f)), float>);
    // -10 log10(1 + 10^(-x/10)).
    EXPECT_NEAR(ConvertSinrShare(0.0f), -3.0103, 1e-4);
    EXPECT_NEAR(ConvertSinrShare(-10.0f), -10.41393, 1e-4);
    EXPECT_NEAR(ConvertSinrShare(10.0f), -0.41393, 1e-4);
    // Large ratio: 1 + 1e-10 is 1 in single precision, so the share is exactly 0 dB.
    EXPECT_EQ(ConvertSinrShare(100.0f), 0.0f);
    // Very small ratio: 10^-100 is 0 in single precision, the inversion is skipped and
    // the share comes out as 0 dB, not -1000.
    EXPECT_EQ(ConvertSinrShare(-1000.0f), 0.0f);
}

TEST(DigitDecodings, MccExamples) {
    struct Case {
        uint16_t v;
        int32_t expected;
    };
    const Case cases[] = {
        {209 + 111, 310},  // E = 209
        {320, 310},       {470, 460}, {1101, 1},
        {1110, 0},        {123, 123}, {111, 111},  // E = 0: digits 1 1 1
        {1100, 90},                                // digits 10 9 10: "090"
        {1000, 990},                               // digits 9 9 10: "990"
        {310, 200},                                // digits 2 10 10: "200"
        {1011, 11},                                // digits 10 1 1: "011"
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeMcc(c.v), c.expected) << c.v;
}

TEST(DigitDecodings, ThreeDigitsAgreesWithMccOverEveryCode) {
    EXPECT_EQ(DecodeThreeDigits(209), 310u);
    EXPECT_EQ(DecodeThreeDigits(999), 0u);
    EXPECT_EQ(DecodeThreeDigits(0), 111u);
    for (uint32_t e = 0; e <= 999; ++e) {
        EXPECT_EQ(static_cast<int32_t>(DecodeThreeDigits(e)),
                  DecodeMcc(static_cast<uint16_t>(e + 111)))
            << e;
    }
}

TEST(DigitDecodings, MncExamples) {
    struct Case {
        uint8_t v;
        uint8_t expected;
    };
    const Case cases[] = {
        {9 + 11, 10},                 // digits 1 10
        {99 + 11, 0},                 // digits 10 10: "00"
        {0 + 11, 11},  {8 + 11, 19},  // digits 1 9
        {89 + 11, 90},                // digits 9 10
        {90 + 11, 1},                 // digits 10 1: "01"
        {45 + 11, 56}, {39 + 11, 40},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeMnc(c.v), c.expected) << int{c.v};
}

uint64_t ImsiS(uint32_t first3, uint32_t next3, uint32_t digit, uint32_t last3) {
    return (uint64_t{first3} << 24) | (uint64_t{next3} << 14) | (uint64_t{digit} << 10) | last3;
}

TEST(DigitDecodings, ImsiS) {
    // "555 123 4 567": 555 -> 444, 123 -> 12, 4, 567 -> 456.
    EXPECT_EQ(DecodeImsiS(ImsiS(444, 12, 4, 456)), 5551234567u);
    // "310 000 0 000": 310 -> 209, 000 -> 999, the digit 0 sent as 10, 000 -> 999.
    EXPECT_EQ(DecodeImsiS(ImsiS(209, 999, 10, 999)), 3100000000u);
    // Bits above 33 are not part of the number.
    EXPECT_EQ(DecodeImsiS(ImsiS(444, 12, 4, 456) | (uint64_t{0xFF} << 34)), 5551234567u);
}

TEST(IndexTables, DrcRate) {
    const int32_t expected[] = {0,       38400,   76800,   153600,  307200,  307200,
                                614400,  614400,  921600,  1228800, 1228800, 1843200,
                                2457600, 1536000, 3072000, 0};
    for (int i = 0; i <= 15; ++i) {
        EXPECT_EQ(DrcIndexToRate(static_cast<int8_t>(i)), expected[i]) << i;
    }
    EXPECT_EQ(DrcIndexToRate(-1), 0);
    EXPECT_EQ(DrcIndexToRate(127), 0);
}

TEST(IndexTables, PacketSize) {
    const int32_t expected[] = {0,    128,  256,  512,  768,  1024,  1536,
                                2048, 3072, 4096, 6144, 8192, 12288, 0};
    for (int i = 0; i <= 13; ++i) EXPECT_EQ(PacketSizeIndexToBits(i), expected[i]) << i;
    EXPECT_EQ(PacketSizeIndexToBits(-1), 0);
}

TEST(IndexTables, CodePair) {
    struct Case {
        uint8_t a, b;
        int32_t expected;
    };
    const Case cases[] = {
        {1, 0, 0},     {1, 200, 0}, {2, 0, 2},   {2, 2, 1},     {2, 1, -9999},
        {2, 3, -9999}, {3, 0, 2},   {3, 2, 3},   {3, 3, 4},     {3, 1, -9999},
        {4, 9, 5},     {5, 0, 6},   {6, 255, 7}, {0, 0, -9999}, {7, 0, -9999},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MapCodePair(c.a, c.b), c.expected) << int{c.a} << "," << int{c.b};
    }
}

TEST(ByteOrderAndLimits, SwapsMinAndMax) {
    EXPECT_EQ(SwapBytes16(0x1234), 0x3412);
    EXPECT_EQ(SwapBytes16(0x00FF), 0xFF00);
    EXPECT_EQ(SwapBytes32(0x12345678u), 0x78563412u);
    EXPECT_EQ(SwapBytes32(0xFF000001u), 0x010000FFu);

    EXPECT_EQ(MinInt(-3, 2), -3);
    EXPECT_EQ(MaxInt(-3, 2), 2);
    EXPECT_EQ(MinInt(INT32_MIN, INT32_MAX), INT32_MIN);

    EXPECT_EQ(MinFloat(1.5f, -2.0f), -2.0f);
    EXPECT_EQ(MaxFloat(1.5f, -2.0f), 1.5f);
    // A NaN loses only when it stands second: every comparison with it is false.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(MinFloat(1.0f, nan), 1.0f);
    EXPECT_TRUE(std::isnan(MinFloat(nan, 1.0f)));
    EXPECT_EQ(MaxFloat(1.0f, nan), 1.0f);
    EXPECT_TRUE(std::isnan(MaxFloat(nan, 1.0f)));
}

}  // namespace
}  // namespace tessavo

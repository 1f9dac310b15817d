#include "text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace tessavo::cli {
namespace {

struct ScaledCase {
    int32_t raw;
    int32_t scale;
    const char* text;
};

TEST(TextFormat, ScaledValuesAreExactDecimals) {
    const std::vector<ScaledCase> cases = {
        {-85500, 1000, "-85.5"},
        {12345, 1000, "12.345"},
        {12345, 100, "123.45"},
        {7, 1, "7"},
        {-7, 1, "-7"},
        {0, 1000, "0"},
        {-1, 1000, "-0.001"},
        {5, 100, "0.05"},
        {100, 100, "1"},
        {10000, 100, "100"},
        {-100, 1000, "-0.1"},
        {INT32_MIN, 1000, "-2147483.648"},
        {INT32_MAX, 100, "21474836.47"},
        {25, 10, "2.5"},
        {-9999, 1, "-9999"},
    };
    for (const ScaledCase& c : cases) {
        EXPECT_EQ(ScaledValueText(c.raw, c.scale), c.text) << c.raw << " / " << c.scale;
    }
}

TEST(TextFormat, HexNumbersAreLowerCaseAndPadded) {
    EXPECT_EQ(HexNumber(0x7F018328, 8), "0x7f018328");
    EXPECT_EQ(HexNumber(0x1062, 4), "0x1062");
    EXPECT_EQ(HexNumber(0x73, 2), "0x73");
    EXPECT_EQ(HexNumber(0x5, 4), "0x0005");
    EXPECT_EQ(HexNumber(0xEEAA0001, 4), "0xeeaa0001");
    EXPECT_EQ(HexNumber(0, 2), "0x00");
}

TEST(TextFormat, HexBytes) {
    const std::vector<uint8_t> bytes = {0x00, 0x7E, 0xAB, 0x0F};
    EXPECT_EQ(HexBytes(bytes), "007eab0f");
    EXPECT_EQ(HexBytes({}), "");
}

TEST(TextFormat, CsvFieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(CsvField("rx_power"), "rx_power");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("0x102D 0x119A"), "0x102D 0x119A");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

}  // namespace
}  // namespace tessavo::cli

// The text pieces of every output: scaled values, hex, CSV quoting, item times (in the zone
// the tests pin, TZ=CST-8) and the progress line.
#include "text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <vector>

#include "item_time.h"
#include "progress_meter.h"

namespace tessavo::cli {
namespace {

TEST(TextFormat, ScaledValuesAreExactDecimals) {
    struct Case {
        int32_t raw;
        int32_t scale;
        const char* text;
    };
    const std::vector<Case> cases = {{-85500, 1000, "-85.5"},
                                     {12345, 100, "123.45"},
                                     {-7, 1, "-7"},
                                     {0, 1000, "0"},
                                     {-1, 1000, "-0.001"},
                                     {5, 100, "0.05"},
                                     {10000, 100, "100"},
                                     {25, 10, "2.5"},
                                     {INT32_MIN, 1000, "-2147483.648"},
                                     {INT32_MAX, 100, "21474836.47"}};
    for (const Case& c : cases) {
        EXPECT_EQ(ScaledValueText(c.raw, c.scale), c.text) << c.raw << " / " << c.scale;
    }
}

TEST(TextFormat, CsvFieldsAreQuotedOnlyWhenNeeded) {
    EXPECT_EQ(CsvField("0x102D 0x119A"), "0x102D 0x119A");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("two\nlines"), "\"two\nlines\"");
}

TEST(TextFormat, ItemTimesAreLocalIso8601WithMicroseconds) {
    // 315964800 is 1980-01-06 00:00:00 UTC, 08:00:00 in UTC+8.
    const std::vector<std::pair<ItemTime, const char*>> cases = {
        {{315964801, 1250}, "1980-01-06T08:00:01.001250+08:00"},
        {{0, 0}, "1970-01-01T08:00:00.000000+08:00"},
        {{1700000000, 500000}, "2023-11-15T06:13:20.500000+08:00"},
        // Microseconds outside 0..999999 are carried into the seconds.
        {{315964800, 1500000}, "1980-01-06T08:00:01.500000+08:00"},
        {{315964800, -1}, "1980-01-06T07:59:59.999999+08:00"},
    };
    for (const auto& [time, text] : cases) {
        EXPECT_EQ(FormatItemTime(time), text) << time.seconds << " " << time.microseconds;
    }
    EXPECT_DOUBLE_EQ(SecondsBetween({12, 500000}, {10, 0}), -2.5);
    EXPECT_NEAR(SecondsBetween({10, 999999}, {11, 0}), 0.000001, 1e-12);
}

TEST(TextFormat, ProgressLines) {
    constexpr uint64_t kMiB = 1024 * 1024;
    // Half of 100 MiB in 10 s: 50 %, 12 of 24 marks, 10 s left; 1000 items in 10 s. A quarter
    // after 30 s: 90 s left. Without a total: the bytes and the rate only.
    EXPECT_EQ(FormatProgressLine(50 * kMiB, 100 * kMiB, 1000, 10.0),
              "[############------------]  50% 50.0 MiB / 100.0 MiB  100 items/s  0:10 left");
    EXPECT_EQ(FormatProgressLine(100 * kMiB, 100 * kMiB, 5, 2.0),
              "[########################] 100% 100.0 MiB / 100.0 MiB  2 items/s");
    EXPECT_EQ(FormatProgressLine(25 * kMiB, 100 * kMiB, 0, 30.0),
              "[######------------------]  25% 25.0 MiB / 100.0 MiB  0 items/s  1:30 left");
    EXPECT_EQ(FormatProgressLine(3 * kMiB / 2, 0, 30, 3.0), "1.5 MiB  10 items/s");
    EXPECT_EQ(FormatProgressLine(0, 0, 0, 0.0), "0.0 MiB");

    // A meter on a terminal erases its line when finished; a disabled one draws nothing.
    for (bool enabled : {false, true}) {
        std::ostringstream err;
        ProgressMeter meter(err, enabled, 100);
        meter.Update(50, 10);
        meter.Finish();
        const std::string text = err.str();
        EXPECT_EQ(text.empty() ? "" : text.substr(0, 1) + text.substr(text.size() - 4),
                  enabled ? "\r\r\x1b[K" : "");
    }
}

}  // namespace
}  // namespace tessavo::cli

// The text pieces of every output: scaled values, hex, CSV quoting, item times and the
// progress line.
#include "text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <vector>

#include "item_time.h"
#include "progress_meter.h"
#include "support/time_zone.h"

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

// The library counts item seconds from 1980-01-06 08:00 local time, so the same packet gets
// another pair in each zone; the clock gives the same true instant for all of them. In
// UTC+8 the pair is the GPS time as Unix seconds; in UTC it is 8 h later; in EST (UTC-5 in
// January 1980) 13 h later. The sprint capture's first 0x1004 is stamped 2015-08-16
// 18:57:19 GPS time (1439751439 as Unix seconds), 17 leap seconds ahead of UTC. GPS ran
// one second further ahead after each leap second, which itself reads 23:59:60.
TEST(TextFormat, ItemTimesAreTrueInstantsWhateverTheZone) {
    struct Case {
        const char* zone;
        ItemTime raw;
        bool local;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"CST-8", {315964801, 1250}, false, "1980-01-06T00:00:01.001250Z"},
        {"CST-8", {315964800, 1500000}, false, "1980-01-06T00:00:01.500000Z"},  // carried
        {"CST-8", {315964800, -1}, false, "1980-01-05T23:59:59.999999Z"},
        {"CST-8", {1439751439, 548750}, false, "2015-08-16T18:57:02.548750Z"},
        {"UTC0", {1439780239, 548750}, false, "2015-08-16T18:57:02.548750Z"},
        {"EST5EDT,M3.2.0,M11.1.0", {1439798239, 548750}, false, "2015-08-16T18:57:02.548750Z"},
        {"EST5EDT,M3.2.0,M11.1.0", {1439798239, 548750}, true, "2015-08-16T14:57:02.548750-04:00"},
        {"CST-8", {1439751439, 0}, true, "2015-08-17T02:57:02.000000+08:00"},
        {"CST-8", {362793599, 0}, false, "1981-06-30T23:59:59.000000Z"},
        {"CST-8", {362793600, 0}, false, "1981-06-30T23:59:60.000000Z"},
        {"CST-8", {362793601, 0}, false, "1981-07-01T00:00:00.000000Z"},
        {"CST-8", {1483228816, 0}, false, "2016-12-31T23:59:59.000000Z"},
        {"CST-8", {1483228817, 0}, false, "2016-12-31T23:59:60.000000Z"},
        {"CST-8", {1483228818, 0}, false, "2017-01-01T00:00:00.000000Z"},
    };
    const std::string saved = std::getenv("TZ") != nullptr ? std::getenv("TZ") : "";
    for (const Case& c : cases) {
        tessavo::test::SetTimeZone(c.zone);
        EXPECT_EQ(ItemClock(c.local).Format(c.raw), c.text) << c.zone << " " << c.raw.seconds;
    }
    tessavo::test::SetTimeZone(saved.c_str());
    EXPECT_EQ(LeapSecondsAtGps(0), 0);
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

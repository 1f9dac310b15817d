// Item times in the zone the tests pin (TZ=CST-8, eight hours east of UTC).
#include "item_time.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessavo::cli {
namespace {

struct TimeCase {
    ItemTime time;
    const char* text;
};

TEST(ItemTime, Iso8601LocalTimeWithMicroseconds) {
    // 315964800 is 1980-01-06 00:00:00 UTC, 08:00:00 in UTC+8.
    const std::vector<TimeCase> cases = {
        {{315964800, 0}, "1980-01-06T08:00:00.000000+08:00"},
        {{315964801, 1250}, "1980-01-06T08:00:01.001250+08:00"},
        {{315964801, 999999}, "1980-01-06T08:00:01.999999+08:00"},
        {{0, 0}, "1970-01-01T08:00:00.000000+08:00"},
        {{1700000000, 500000}, "2023-11-15T06:13:20.500000+08:00"},
        // Microseconds outside 0..999999 are carried into the seconds.
        {{315964800, 1500000}, "1980-01-06T08:00:01.500000+08:00"},
        {{315964800, -1}, "1980-01-06T07:59:59.999999+08:00"},
    };
    for (const TimeCase& c : cases) {
        EXPECT_EQ(FormatItemTime(c.time), c.text) << c.time.seconds << " " << c.time.microseconds;
    }
}

TEST(ItemTime, SecondsBetween) {
    EXPECT_DOUBLE_EQ(SecondsBetween({10, 0}, {12, 500000}), 2.5);
    EXPECT_DOUBLE_EQ(SecondsBetween({12, 500000}, {10, 0}), -2.5);
    EXPECT_NEAR(SecondsBetween({10, 999999}, {11, 0}), 0.000001, 1e-12);
}

}  // namespace
}  // namespace tessavo::cli

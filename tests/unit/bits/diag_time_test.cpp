#include "bits/diag_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace tessavo {
namespace {

// Sets the process's time zone for one test and puts the previous one back.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) previous_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> previous_;
};

uint64_t Stamp(uint64_t ticks, uint16_t low = 0) {
    return (ticks << 16) | low;
}

// 1980-01-06 00:00:00 UTC: 3657 days after 1970-01-01.
constexpr int32_t kGpsEpochUtc = 315964800;

struct PairCase {
    uint64_t stamp;
    int32_t seconds;
    int32_t microseconds;
};

void ExpectPairs(const PairCase* begin, const PairCase* end) {
    for (const PairCase* c = begin; c != end; ++c) {
        const TimePair p = DiagTimeToPair(c->stamp);
        EXPECT_EQ(p.seconds, c->seconds) << std::hex << c->stamp;
        EXPECT_EQ(p.microseconds, c->microseconds) << std::hex << c->stamp;
    }
}

TEST(DiagTime, TicksInUtcPlus8) {
    ScopedTimeZone zone("CST-8");  // 1980-01-06 08:00 local is the GPS epoch
    const PairCase cases[] = {
        {Stamp(0), kGpsEpochUtc, 0},
        {Stamp(1), kGpsEpochUtc, 1250},
        {Stamp(799), kGpsEpochUtc, 998750},
        {Stamp(800), kGpsEpochUtc + 1, 0},
        {Stamp(801), kGpsEpochUtc + 1, 1250},
        {Stamp(801, 0xFFFF), kGpsEpochUtc + 1, 1250},  // the low 16 bits are not time
        // 2024-01-01 00:00:00 at UTC+8 (2023-12-31 16:00 UTC = 1704038400).
        {Stamp(uint64_t{1704038400 - kGpsEpochUtc} * 800 + 2), 1704038400, 2500},
        // The largest tick count: 351843720888 s and 255 ticks past the epoch; the 32-bit
        // seconds word keeps the low 32 bits of 352159685688.
        {~uint64_t{0}, -27632584, 318750},
    };
    ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DiagTime, TicksInUtc) {
    ScopedTimeZone zone("UTC0");  // the origin is 08:00 UTC
    const PairCase cases[] = {
        {Stamp(0), kGpsEpochUtc + 8 * 3600, 0},
        {Stamp(801), kGpsEpochUtc + 8 * 3600 + 1, 1250},
    };
    ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DiagTime, TicksInAZoneWithDaylightSaving) {
    // Southern hemisphere: daylight saving is in effect on 1980-01-06, but the origin is taken
    // without it, as 08:00 at UTC+10, that is 22:00 UTC the day before.
    ScopedTimeZone zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
    const int32_t origin = kGpsEpochUtc - 2 * 3600;
    const PairCase cases[] = {
        {Stamp(0), origin, 0},
        // Half a year later (a date without daylight saving) the count goes on unchanged.
        {Stamp(uint64_t{182} * 86400 * 800 + 400), origin + 182 * 86400, 500000},
    };
    ExpectPairs(std::begin(cases), std::end(cases));
}

TEST(DiagTime, BytesAreLittleEndian) {
    ScopedTimeZone zone("CST-8");
    // ticks 801 = 0x321 in the upper 48 bits: u64 0x0000'0000'0321'ABCD.
    const uint8_t stamp[8] = {0xCD, 0xAB, 0x21, 0x03, 0x00, 0x00, 0x00, 0x00};
    const TimePair p = DiagTimeToPair(stamp);
    EXPECT_EQ(p.seconds, kGpsEpochUtc + 1);
    EXPECT_EQ(p.microseconds, 1250);
}

TEST(DiagTime, SecondsDiffer) {
    ScopedTimeZone zone("CST-8");
    struct Case {
        uint64_t a, b;
        bool differ;
    };
    const Case cases[] = {
        {Stamp(799), Stamp(800), true},
        {Stamp(800), Stamp(1599), false},
        {Stamp(1599), Stamp(1600), true},
        {Stamp(5, 0x0000), Stamp(5, 0xFFFF), false},
    };
    for (const Case& c : cases) EXPECT_EQ(DiagSecondsDiffer(c.a, c.b), c.differ);
    const uint8_t a[8] = {0, 0, 0x1F, 0x03};  // 799 ticks
    const uint8_t b[8] = {0, 0, 0x20, 0x03};  // 800 ticks
    EXPECT_TRUE(DiagSecondsDiffer(a, b));
    EXPECT_FALSE(DiagSecondsDiffer(a, a));
}

TEST(TimePairs, Difference) {
    struct Case {
        TimePair a, b;
        double expected;
    };
    const Case cases[] = {
        {{10, 500000}, {8, 750000}, 1.75},
        {{8, 750000}, {10, 500000}, -1.75},
        {{5, 0}, {5, 0}, 0.0},
        {{-9999, -9999}, {-9999, -9999}, 0.0},
        // The subtractions wrap in 32 bits.
        {{INT32_MIN, 0}, {1, 0}, 2147483647.0},
        {{INT32_MAX, 0}, {-1, 0}, -2147483648.0},
        {{0, INT32_MIN}, {0, 1}, 2147.483647},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(PairDifference(c.a, c.b), c.expected)
            << c.a.seconds << "." << c.a.microseconds << " - " << c.b.seconds << "."
            << c.b.microseconds;
    }
}

TEST(TimePairs, DayNumber) {
    struct Case {
        TimePair p;
        double expected;
    };
    const Case cases[] = {
        {{0, 0}, 25569.0},
        {{3 * 86400 + 43200, 999999}, 25572.5},  // microseconds do not count
        {{-86400, 0}, 25568.0},
        {{1704067200, 0}, 45292.0},  // 2024-01-01 00:00:00
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(PairToDayNumber(c.p), c.expected);
}

}  // namespace
}  // namespace tessavo

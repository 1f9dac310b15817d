#include "bits/diag_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "support/time_zone.h"

namespace tessavo {
namespace {

using test::ScopedTimeZone;

uint64_t Stamp(uint64_t ticks, uint16_t low = 0) {
    return (ticks << 16) | low;
}

// 1980-01-06 00:00:00 UTC: 3657 days after 1970-01-01.
constexpr int32_t kGpsEpochUtc = 315964800;

TEST(DiagTime, TicksToPairsInThreeZones) {
    // A zone with daylight saving at UTC+10: the origin is taken without it, as 08:00 at UTC+10
    // (22:00 UTC the day before), whether saving is in effect then (southern-hemisphere rules)
    // or half a year later (the United States rules, all the Windows C library knows).
#if defined(_WIN32)
    const char* kAest = "AES-10ADT";
#else
    const char* kAest = "AEST-10AEDT,M10.1.0,M4.1.0/3";
#endif
    const struct Case {
        const char* zone;
        uint64_t stamp;
        int32_t seconds, microseconds;
    } cases[] = {
        {"CST-8", Stamp(0), kGpsEpochUtc, 0},  // 1980-01-06 08:00 local is the GPS epoch
        {"CST-8", Stamp(799), kGpsEpochUtc, 998750},
        {"CST-8", Stamp(800), kGpsEpochUtc + 1, 0},
        {"CST-8", Stamp(801, 0xFFFF), kGpsEpochUtc + 1, 1250},  // the low 16 bits are not time
        // 2024-01-01 00:00:00 at UTC+8 is 1704038400.
        {"CST-8", Stamp(uint64_t{1704038400 - kGpsEpochUtc} * 800 + 2), 1704038400, 2500},
        // The largest tick count: 351843720888 s and 255 ticks past the epoch; the 32-bit
        // seconds word keeps the low 32 bits of 352159685688.
        {"CST-8", ~uint64_t{0}, -27632584, 318750},
        {"UTC0", Stamp(801), kGpsEpochUtc + 8 * 3600 + 1, 1250},
        {kAest, Stamp(0), kGpsEpochUtc - 2 * 3600, 0},
        // Half a year later (without daylight saving) the count goes on unchanged.
        {kAest, Stamp(uint64_t{182} * 86400 * 800 + 400), kGpsEpochUtc - 7200 + 182 * 86400,
         500000},
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        const TimePair p = DiagTimeToPair(c.stamp);
        EXPECT_EQ(std::pair(p.seconds, p.microseconds), std::pair(c.seconds, c.microseconds))
            << c.zone << " " << std::hex << c.stamp;
    }
}

TEST(DiagTime, BytesAreLittleEndianAndSecondsDiffer) {
    ScopedTimeZone zone("CST-8");
    // ticks 801 = 0x321 in the upper 48 bits: u64 0x0000'0000'0321'ABCD.
    const uint8_t stamp[8] = {0xCD, 0xAB, 0x21, 0x03};
    const TimePair p = DiagTimeToPair(stamp);
    EXPECT_EQ(std::pair(p.seconds, p.microseconds), std::pair(kGpsEpochUtc + 1, 1250));
    const uint8_t at799[8] = {0, 0, 0x1F, 0x03};
    const uint8_t at800[8] = {0, 0, 0x20, 0x03};
    EXPECT_TRUE(DiagSecondsDiffer(at799, at800));
    EXPECT_FALSE(DiagSecondsDiffer(at799, at799));
    EXPECT_FALSE(DiagSecondsDiffer(Stamp(800), Stamp(1599)));
    EXPECT_TRUE(DiagSecondsDiffer(Stamp(1599), Stamp(1600)));
}

TEST(TimePairs, DifferenceAndDayNumber) {
    const struct Case {
        TimePair a, b;
        double expected;
    } cases[] = {
        {{10, 500000}, {8, 750000}, 1.75},
        {{8, 750000}, {10, 500000}, -1.75},
        // The subtractions wrap in 32 bits.
        {{INT32_MIN, 0}, {1, 0}, 2147483647.0},
        {{INT32_MAX, 0}, {-1, 0}, -2147483648.0},
        {{0, INT32_MIN}, {0, 1}, 2147.483647},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(PairDifference(c.a, c.b), c.expected) << c.a.seconds;
    EXPECT_DOUBLE_EQ(PairToDayNumber({0, 0}), 25569.0);
    EXPECT_DOUBLE_EQ(PairToDayNumber({3 * 86400 + 43200, 999999}), 25572.5);  // no microseconds
    EXPECT_DOUBLE_EQ(PairToDayNumber({-86400, 0}), 25568.0);
    EXPECT_DOUBLE_EQ(PairToDayNumber({1704067200, 0}), 45292.0);  // 2024-01-01 00:00:00 UTC
}

}  // namespace
}  // namespace tessavo

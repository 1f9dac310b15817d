// The library's Log10 and Exp10 on a few million arguments (the decoders' ranges and the
// whole double range): each result within the nearest double of an extended-precision
// reference, and its distance from the C library's log10 / pow(10, y) printed.
#include "bits/portable_math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <utility>

namespace tessavo {
namespace {

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
};
// clang-format on

TEST(PortableMath, NearestDoubleAndTheCLibraryOnMillionsOfArguments) {
    std::mt19937_64 rng(13);
    for (const Family& f : kFamilies) {
        int differing = 0;
        int64_t largest = 0;
        double worst = 0.0;
        const bool checked =
            kReferenceIsWider && f.checkReference && (f.isLog || kPowReferenceIsAccurate);
        for (int i = 0; i < f.count; ++i) {
            const double x = f.argument(i, rng);
            const double ours = f.isLog ? Log10(x) : Exp10(x);
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
        EXPECT_LE(kCLibraryIsClose ? largest : 0, 2) << f.name;
    }
}

TEST(PortableMath, ExactPowersOfTenAndSpecialValues) {
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

}  // namespace
}  // namespace tessavo

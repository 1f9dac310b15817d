#include "bits/portable_math.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace tessavo {

namespace {

// A double-double value hi + lo with |lo| <= ulp(hi) / 2.
struct Dd {
    double hi;
    double lo;
};

// Sum of two doubles without error (Knuth).
constexpr Dd TwoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// The same for |a| >= |b| (Dekker).
constexpr Dd FastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// Product of two doubles without error, by Veltkamp splitting (no fused multiply-add needed).
// Valid for |a|, |b| below 2^995, far above any argument here.
constexpr Dd TwoProduct(double a, double b) {
    constexpr double kSplitter = 134217729.0;  // 2^27 + 1
    const double ta = kSplitter * a;
    const double ah = ta - (ta - a);
    const double al = a - ah;
    const double tb = kSplitter * b;
    const double bh = tb - (tb - b);
    const double bl = b - bh;
    const double p = a * b;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

constexpr Dd Add(Dd a, Dd b) {
    Dd s = TwoSum(a.hi, b.hi);
    const Dd t = TwoSum(a.lo, b.lo);
    s = FastTwoSum(s.hi, s.lo + t.hi);
    return FastTwoSum(s.hi, s.lo + t.lo);
}

constexpr Dd Neg(Dd a) {
    return {-a.hi, -a.lo};
}

constexpr Dd Mul(Dd a, Dd b) {
    const Dd p = TwoProduct(a.hi, b.hi);
    return FastTwoSum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}

constexpr Dd Div(Dd a, Dd b) {
    const double q1 = a.hi / b.hi;
    const Dd r1 = Add(a, Neg(Mul(b, {q1, 0.0})));
    const double q2 = r1.hi / b.hi;
    const Dd r2 = Add(r1, Neg(Mul(b, {q2, 0.0})));
    const double q3 = r2.hi / b.hi;
    return Add(FastTwoSum(q1, q2), {q3, 0.0});
}

// Constants to 106 bits: each is hi + lo, hi the nearest double.
constexpr Dd kLn2{0x1.62e42fefa39efp-1, 0x1.abc9e3b39803fp-56};
constexpr Dd kLn10{0x1.26bb1bbb55516p+1, -0x1.f48ad494ea3e9p-53};
constexpr Dd kInvLn10{0x1.bcb7b1526e50ep-2, 0x1.95355baaafad3p-57};

// ln(m) = 2 atanh(s) = 2 s (1 + s^2/3 + s^4/5 + ...), s = (m - 1) / (m + 1). For m within
// [sqrt(1/2), sqrt(2)], s^2 < 0.0295 and 22 terms bring the tail below 2^-108.
constexpr int kAtanhTerms = 22;
// exp(r) = sum r^n / n!. For |r| <= ln(2) / 2, 24 terms bring the tail below 2^-108.
constexpr int kExpTerms = 24;

constexpr std::array<Dd, kAtanhTerms> MakeAtanhCoefficients() {
    std::array<Dd, kAtanhTerms> c{};
    for (int j = 0; j < kAtanhTerms; ++j)
        c[static_cast<std::size_t>(j)] = Div({1.0, 0.0}, {2.0 * j + 1.0, 0.0});
    return c;
}

constexpr std::array<Dd, kExpTerms> MakeExpCoefficients() {
    std::array<Dd, kExpTerms> c{};
    c[0] = {1.0, 0.0};
    for (std::size_t n = 1; n < kExpTerms; ++n) c[n] = Div(c[n - 1], {static_cast<double>(n), 0.0});
    return c;
}

constexpr auto kAtanhCoefficients = MakeAtanhCoefficients();
constexpr auto kExpCoefficients = MakeExpCoefficients();

template <std::size_t N>
Dd Horner(const std::array<Dd, N>& c, Dd x) {
    Dd p = c[N - 1];
    for (std::size_t j = N - 1; j-- > 0;) p = Add(Mul(p, x), c[j]);
    return p;
}

constexpr int kMantissaBits = 52;
constexpr int kExponentBias = 1023;
constexpr uint64_t kMantissaMask = (uint64_t{1} << kMantissaBits) - 1;

// 2^e as a double for -1022 <= e <= 1023.
double PowerOfTwo(int e) {
    return std::bit_cast<double>(static_cast<uint64_t>(e + kExponentBias) << kMantissaBits);
}

// x * 2^e, in steps that stay within the normal exponent range.
double Scale(double x, int e) {
    while (e > 1023) {
        x *= PowerOfTwo(1023);
        e -= 1023;
    }
    while (e < -1022) {
        x *= PowerOfTwo(-1022);
        e += 1022;
    }
    return x * PowerOfTwo(e);
}

// Nearest integer of |x| < 2^31, halves away from zero.
int NearestInt(double x) {
    return static_cast<int>(x < 0.0 ? x - 0.5 : x + 0.5);
}

// x = m 2^k with m in [sqrt(1/2), sqrt(2)), for finite x > 0.
struct Reduced {
    int k;
    double m;
};
Reduced Reduce(double x) {
    int k = 0;
    if (x < std::numeric_limits<double>::min()) {  // subnormal: make it normal first
        x *= PowerOfTwo(kMantissaBits + 2);
        k -= kMantissaBits + 2;
    }
    const auto bits = std::bit_cast<uint64_t>(x);
    k += static_cast<int>(bits >> kMantissaBits) - kExponentBias;
    double m = std::bit_cast<double>((bits & kMantissaMask) |
                                     (static_cast<uint64_t>(kExponentBias) << kMantissaBits));
    if (m > 0x1.6a09e667f3bcdp+0) {  // sqrt(2)
        m *= 0.5;
        ++k;
    }
    return {k, m};
}

// ln(2) to 106 bits times k, and ln(m): the argument's logarithm as a pair.
Dd NaturalLog(int k, Dd lnM) {
    return Add(Mul({static_cast<double>(k), 0.0}, kLn2), lnM);
}

// log10 by the full series: every step carried as a pair.
double SeriesLog10(int k, double m) {
    // m - 1 is exact for m in [1/2, 2]; m + 1 is carried exactly as a pair.
    const Dd s = Div({m - 1.0, 0.0}, TwoSum(m, 1.0));
    const Dd lnM = Mul(Mul({2.0, 0.0}, s), Horner(kAtanhCoefficients, Mul(s, s)));
    const Dd r = Mul(NaturalLog(k, lnM), kInvLn10);
    return r.hi + r.lo;
}

// 1/5 + z/7 + z^2/9 + ..., the series after its first two terms, in doubles: 11 terms leave
// a tail below 2^-61 of it for z = s^2 < 0.0295.
constexpr int kShortTerms = 11;
constexpr std::array<double, kShortTerms> MakeShortCoefficients() {
    std::array<double, kShortTerms> c{};
    for (int j = 0; j < kShortTerms; ++j) c[static_cast<std::size_t>(j)] = 1.0 / (2.0 * j + 5.0);
    return c;
}
constexpr auto kShortCoefficients = MakeShortCoefficients();

// log10 by a shorter way first: ln(m) = 2s (1 + z (1/3 + z (1/5 + z/7 + ...))) with only the
// innermost sum in doubles. That sum enters the result at under 2^-13 of its size, so the
// result is within about 2^-63 of its size. When everything within 2^-61 of the computed value
// rounds to one double, that double is also the full series' result (whose own error is about
// 2^-100); otherwise, for about one argument in two hundred, the full series decides.
double ComputeLog10(double x) {
    if (x != x || x < 0.0) return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0) return -std::numeric_limits<double>::infinity();
    if (x == std::numeric_limits<double>::infinity()) return x;
    const auto [k, m] = Reduce(x);

    // s = (m - 1) / (m + 1) as a pair, by one correction of the quotient.
    const double num = m - 1.0;
    const Dd den = TwoSum(m, 1.0);
    const double q = num / den.hi;
    const Dd p = TwoProduct(q, den.hi);
    const Dd s = FastTwoSum(q, (((num - p.hi) - p.lo) - q * den.lo) / den.hi);
    const Dd z = Mul(s, s);
    double rest = kShortCoefficients[kShortTerms - 1];
    for (int j = kShortTerms - 1; j-- > 0;)
        rest = rest * z.hi + kShortCoefficients[static_cast<std::size_t>(j)];
    const Dd third = kAtanhCoefficients[1];
    const Dd inner = FastTwoSum(third.hi, third.lo + z.hi * rest);
    const Dd twoS{2.0 * s.hi, 2.0 * s.lo};
    const Dd lnM = Add(twoS, Mul(twoS, Mul(z, inner)));
    const Dd r = Mul(NaturalLog(k, lnM), kInvLn10);
    const double margin = std::fabs(r.hi) * 0x1p-61;
    const double low = r.hi + (r.lo - margin);
    if (low == r.hi + (r.lo + margin)) return low;
    return SeriesLog10(k, m);
}

// y ln 10 = k ln 2 + r with |r| <= ln(2) / 2, then 10^y = 2^k exp(r).
struct ExpReduced {
    int k;
    Dd r;
};
ExpReduced ReduceExp(double y) {
    const Dd t = Mul({y, 0.0}, kLn10);
    const int k = NearestInt(t.hi / kLn2.hi);
    return {k, Add(t, Neg(Mul({static_cast<double>(k), 0.0}, kLn2)))};
}

double SeriesExp10(int k, Dd r) {
    const Dd e = Horner(kExpCoefficients, r);
    return Scale(e.hi + e.lo, k);
}

// The series' terms from r^5/5! on sum to under 2^-14 of exp(r): they are summed in doubles.
constexpr int kExpPairTerms = 5;

// 10^y by a shorter way first: exp(r) = 1 + r (1 + r (1/2 + r (1/6 + r (1/24 + r T)))) with T
// in doubles, within about 2^-66 of its size. When everything within 2^-61 of it rounds to one
// double, that double is also the full series' (whose own error is about 2^-100); otherwise the
// full series decides.
double ComputeExp10(double y) {
    if (y != y) return y;
    if (y > 308.5) return std::numeric_limits<double>::infinity();
    if (y < -324.0) return 0.0;
    const auto [k, r] = ReduceExp(y);
    double tail = kExpCoefficients[kExpTerms - 1].hi;
    for (std::size_t n = kExpTerms - 1; n-- > kExpPairTerms;) tail = tail * r.hi + kExpCoefficients[n].hi;
    const Dd last = kExpCoefficients[kExpPairTerms - 1];
    Dd e = FastTwoSum(last.hi, last.lo + r.hi * tail);
    for (std::size_t n = kExpPairTerms - 1; n-- > 0;) e = Add(Mul(e, r), kExpCoefficients[n]);
    const double margin = e.hi * 0x1p-61;
    const double low = e.hi + (e.lo - margin);
    if (low == e.hi + (e.lo + margin)) return Scale(low, k);
    return SeriesExp10(k, r);
}

// Decoders take these of few distinct arguments, again and again (a byte's level in dB, the
// entries of one table): each thread keeps recent results by argument, and a hit costs a hash
// and a compare instead of the series. The results are the computed ones, bit for bit.
template <double (*Compute)(double)>
double Remembered(double x) {
    if (x != x) return Compute(x);
    struct Entry {
        uint64_t key;  // the argument's bits, flipped by kEmpty so that a zeroed entry is unused
        double value;
    };
    // A NaN's bits: no argument that reaches the table has them.
    constexpr uint64_t kEmpty = 0x7FF8'0000'DEAD'0001ull;
    constexpr int kEntryBits = 10;
    thread_local std::array<Entry, size_t{1} << kEntryBits> memo{};
    const auto bits = std::bit_cast<uint64_t>(x);
    Entry& e = memo[(bits * 0x9E37'79B9'7F4A'7C15ull) >> (64 - kEntryBits)];
    if ((e.key ^ kEmpty) == bits) return e.value;
    e = {bits ^ kEmpty, Compute(x)};
    return e.value;
}

}  // namespace

double Log10(double x) {
    return Remembered<ComputeLog10>(x);
}

double FullSeriesLog10(double x) {
    if (!(x > 0.0) || x == std::numeric_limits<double>::infinity()) return ComputeLog10(x);
    const auto [k, m] = Reduce(x);
    return SeriesLog10(k, m);
}

double Exp10(double y) {
    return Remembered<ComputeExp10>(y);
}

double FullSeriesExp10(double y) {
    if (y != y || y > 308.5 || y < -324.0) return ComputeExp10(y);
    const auto [k, r] = ReduceExp(y);
    return SeriesExp10(k, r);
}

}  // namespace tessavo

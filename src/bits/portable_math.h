// Base-10 logarithm and power computed by this library's own code, so that a value decoded
// from the same packet has the same bits on every platform and compiler.
//
// Only correctly rounded IEEE double operations (+, -, *, /) are used, never the C library's
// transcendental functions, whose last bit differs between C libraries and, on 32-bit x86,
// with x87 extended precision. Intermediate values are carried as double-double numbers
// (about 106 bits), so each result is the double nearest to the exact value except for the
// rare arguments whose exact value lies within about 2^-45 ulp of a midpoint between two
// doubles; the error never exceeds one unit in the last place.
#pragma once

namespace tessavo {

// log10(x) for finite x > 0; 0 gives -infinity, a negative x or NaN gives NaN, +infinity gives
// +infinity. Exact for the integer powers of ten.
double Log10(double x);
// The same by the full double-double series, which Log10 falls back to when its shorter way
// cannot tell the rounding; tests check that the two agree bit for bit.
double FullSeriesLog10(double x);

// 10^y; +infinity above 308.25..., 0 below -323.6..., NaN for NaN. Exact for the integer powers
// of ten that are doubles (10^0 .. 10^22). Results below 2^-1022 (subnormal) are rounded twice
// and may be one unit in the last place off.
double Exp10(double y);
// The same by the full double-double series (see FullSeriesLog10).
double FullSeriesExp10(double y);

}  // namespace tessavo

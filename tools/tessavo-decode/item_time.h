// Item times as text. The library's seconds count from the C library's time origin as its
// local-time conversion computes it, so they are shown in the process's local time zone.
#pragma once

#include <cstdint>
#include <string>

#include "tessavo/tessavo.h"

namespace tessavo::cli {

// "1980-01-06T08:00:01.001250+08:00": ISO-8601 local time with microseconds and the
// zone's offset, through localtime_r. Microseconds outside 0..999999 are carried into the
// seconds first.
std::string FormatItemTime(const ItemTime& time);

// Seconds from a to b (b - a) as a double, as the library forms pair differences.
double SecondsBetween(const ItemTime& a, const ItemTime& b);

}  // namespace tessavo::cli

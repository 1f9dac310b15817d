// DIAG time stamps to (seconds, microseconds) pairs, and pair arithmetic.
//
// A DIAG time stamp counts 1.25 ms ticks in the upper 48 bits of a little-endian u64. The
// seconds are counted from the C library's time origin as its local-time conversion sees them:
// the tick origin is 1980-01-06 08:00:00 taken as local time, which on a UTC+8 host is the
// instant 1980-01-06 00:00:00 UTC. Results therefore depend on the process's TZ.
#pragma once

#include <cstdint>

#include "common/time_pair.h"

namespace tessavo {

inline constexpr int kDiagStampBytes = 8;

// While one is alive on a thread, the zone is read once (when the first opens) rather than for
// every time stamp: a decode call converts all its stamps in the zone as it was when it began.
class ZoneReadOnce {
  public:
    ZoneReadOnce();
    ~ZoneReadOnce();
    ZoneReadOnce(const ZoneReadOnce&) = delete;
    ZoneReadOnce& operator=(const ZoneReadOnce&) = delete;
};

// The pair of a time stamp given as its little-endian u64 (the low 16 bits are not time).
TimePair DiagTimeToPair(uint64_t stamp);
// The pair of the 8 time-stamp bytes at `stamp`.
TimePair DiagTimeToPair(const uint8_t* stamp);

// Whether two time stamps fall into different converted seconds.
bool DiagSecondsDiffer(uint64_t a, uint64_t b);
bool DiagSecondsDiffer(const uint8_t* a, const uint8_t* b);

// a - b in seconds. Both subtractions wrap in 32 bits, as the pair words do.
double PairDifference(TimePair a, TimePair b);

// Days since 1899-12-30 (a spreadsheet date) of the pair's whole seconds read as seconds since
// 1970-01-01; the microseconds do not enter, the callers use it at second resolution.
double PairToDayNumber(TimePair p);

}  // namespace tessavo

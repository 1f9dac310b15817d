// Item times as true instants.
//
// The library counts an item's seconds from 1980-01-06 08:00:00 local time (the handset's
// GPS epoch seen from UTC+8), as mktime computes it in the process's zone: only in UTC+8
// are its seconds the GPS time as Unix seconds. The tool undoes that origin, then turns
// GPS time into UTC by the leap seconds in force on that date.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tessavo/tessavo.h"

namespace tessavo::cli {

// 1980-01-06T00:00:00Z, the GPS epoch, in Unix seconds.
inline constexpr int64_t kGpsEpochUnixSeconds = 315964800;

// GPS time minus UTC, in seconds, at `gpsSeconds` (seconds since the GPS epoch, leap
// seconds included): 0 until mid-1981, 17 from July 2015, 18 from 2017.
int LeapSecondsAtGps(int64_t gpsSeconds);

struct UtcInstant {
    int64_t seconds = 0;  // Unix seconds (UTC)
    int32_t microseconds = 0;
    bool leapSecond = false;  // the inserted 23:59:60 after `seconds` (which is 23:59:59)
};

// A GPS time (seconds since the GPS epoch) as UTC.
UtcInstant GpsToUtc(int64_t gpsSeconds, int32_t microseconds);

// A formatted instant kept for the next one: items come many to a second, so only the
// microseconds change between most of them.
struct TimeText {
    bool kept = false;  // whether `text` may serve again (not before the first, nor after a
                        // text written whole)
    int64_t second = 0;  // Unix second of `text`
    bool leapSecond = false;
    bool local = false;
    std::string text;
};

class ItemClock {
  public:
    // Reads the library's origin in the process's zone as it stands now, so the zone must
    // be settled (the --tz option applied) before. `local` prints local times with their
    // offset; otherwise UTC with "Z".
    explicit ItemClock(bool local = false);

    // Seconds since the GPS epoch of an item time (microseconds carried into range).
    int64_t GpsSeconds(const ItemTime& time, int32_t* microseconds = nullptr) const;
    UtcInstant ToUtc(const ItemTime& time) const;

    // "2015-08-16T18:57:02.000000Z", or "2015-08-16T11:57:02.000000-07:00" with `local`.
    std::string Format(const ItemTime& time) const;
    // The same texts in `cache`, valid until its next use.
    std::string_view Format(const ItemTime& time, TimeText& cache) const;
    std::string_view FormatUtc(const ItemTime& time, TimeText& cache) const;
    bool Local() const { return local_; }

  private:
    int64_t origin_;  // the library's origin in Unix seconds
    bool local_;
};

// ISO-8601 with microseconds: UTC with "Z", or the process's local time with its offset;
// an inserted leap second reads 23:59:60.
std::string FormatInstant(const UtcInstant& instant, bool local);
std::string_view FormatInstant(const UtcInstant& instant, bool local, TimeText& cache);

// Seconds from a to b (b - a) as a double, as the library forms pair differences.
double SecondsBetween(const ItemTime& a, const ItemTime& b);

}  // namespace tessavo::cli

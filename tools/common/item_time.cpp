#include "item_time.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "platform.h"

namespace tessavo::cli {
namespace {

// UTC dates (Unix seconds at 00:00:00) from which GPS time ran ahead of UTC by one more
// second. The only table of leap seconds in the tool.
constexpr std::array<int64_t, 18> kLeapSecondDates = {
    362793600,   // 1981-07-01
    394329600,   // 1982-07-01
    425865600,   // 1983-07-01
    489024000,   // 1985-07-01
    567993600,   // 1988-01-01
    631152000,   // 1990-01-01
    662688000,   // 1991-01-01
    709948800,   // 1992-07-01
    741484800,   // 1993-07-01
    773020800,   // 1994-07-01
    820454400,   // 1996-01-01
    867715200,   // 1997-07-01
    915148800,   // 1999-01-01
    1136073600,  // 2006-01-01
    1230768000,  // 2009-01-01
    1341100800,  // 2012-07-01
    1435708800,  // 2015-07-01
    1483228800,  // 2017-01-01
};

void SplitMicroseconds(int64_t& seconds, int64_t& microseconds) {
    seconds += microseconds / 1000000;
    microseconds %= 1000000;
    if (microseconds < 0) {
        microseconds += 1000000;
        seconds -= 1;
    }
}

// The library's origin: 1980-01-06 08:00:00 local time without daylight saving.
int64_t LibraryOrigin() {
    std::tm origin{};
    origin.tm_year = 80;
    origin.tm_mon = 0;
    origin.tm_mday = 6;
    origin.tm_hour = 8;
    origin.tm_isdst = 0;
    return static_cast<int64_t>(std::mktime(&origin));
}

// `width` decimal digits of a value in [0, 10^width), zero-padded.
void WriteDigits(char* at, int width, int64_t value) {
    for (int i = width; i-- > 0;) {
        at[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

// The UTC calendar fields of a Unix second by arithmetic (proleptic Gregorian, days counted
// from 0000-03-01 so that leap days end a year); false outside years 0 to 9999, which the C
// library's breakdown then takes. Items change second often (a third of them in a busy
// capture), and this costs less than the breakdown and printf.
bool UtcParts(int64_t seconds, std::tm& parts) {
    int64_t days = seconds / 86400;
    int64_t secondOfDay = seconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    days += 719468;  // 1970-01-01 from 0000-03-01
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int64_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 0 || year > 9999) return false;
    parts.tm_year = static_cast<int>(year - 1900);
    parts.tm_mon = static_cast<int>(month - 1);
    parts.tm_mday = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    parts.tm_hour = static_cast<int>(secondOfDay / 3600);
    parts.tm_min = static_cast<int>(secondOfDay / 60 % 60);
    parts.tm_sec = static_cast<int>(secondOfDay % 60);
    return true;
}

}  // namespace

int LeapSecondsAtGps(int64_t gpsSeconds) {
    // The n-th leap second is in force from GPS time (date - epoch) + n.
    int count = 0;
    for (int64_t date : kLeapSecondDates) {
        if (gpsSeconds < date - kGpsEpochUnixSeconds + count + 1) break;
        ++count;
    }
    return count;
}

ItemClock::ItemClock(bool local) : origin_(LibraryOrigin()), local_(local) {}

int64_t ItemClock::GpsSeconds(const ItemTime& time, int32_t* microseconds) const {
    int64_t seconds = time.seconds;
    int64_t micros = time.microseconds;
    SplitMicroseconds(seconds, micros);
    if (microseconds != nullptr) *microseconds = static_cast<int32_t>(micros);
    return seconds - origin_;
}

UtcInstant GpsToUtc(int64_t gpsSeconds, int32_t microseconds) {
    UtcInstant instant;
    instant.microseconds = microseconds;
    int leaps = LeapSecondsAtGps(gpsSeconds);
    instant.seconds = kGpsEpochUnixSeconds + gpsSeconds - leaps;
    // The second before the next leap second takes effect is the inserted 23:59:60.
    if (static_cast<size_t>(leaps) < kLeapSecondDates.size() &&
        gpsSeconds == kLeapSecondDates[leaps] - kGpsEpochUnixSeconds + leaps) {
        instant.seconds -= 1;
        instant.leapSecond = true;
    }
    return instant;
}

UtcInstant ItemClock::ToUtc(const ItemTime& time) const {
    int32_t microseconds = 0;
    int64_t gps = GpsSeconds(time, &microseconds);
    return GpsToUtc(gps, microseconds);
}

std::string ItemClock::Format(const ItemTime& time) const {
    return FormatInstant(ToUtc(time), local_);
}

std::string_view ItemClock::Format(const ItemTime& time, TimeText& cache) const {
    return FormatInstant(ToUtc(time), local_, cache);
}

std::string_view ItemClock::FormatUtc(const ItemTime& time, TimeText& cache) const {
    return FormatInstant(ToUtc(time), false, cache);
}

std::string FormatInstant(const UtcInstant& instant, bool local) {
    TimeText cache;
    return std::string(FormatInstant(instant, local, cache));
}

std::string_view FormatInstant(const UtcInstant& instant, bool local, TimeText& cache) {
    // "YYYY-MM-DDTHH:MM:SS." is 20 characters; the microseconds follow, then the zone.
    constexpr size_t kFractionAt = 20;
    const bool outOfRange = instant.microseconds < 0 || instant.microseconds > 999999;
    if (outOfRange || !cache.kept || cache.second != instant.seconds ||
        cache.leapSecond != instant.leapSecond || cache.local != local) {
        std::time_t clock = static_cast<std::time_t>(instant.seconds);
        std::tm parts{};
        if (!(local ? BreakDownTime(clock, true, parts)
                    : UtcParts(instant.seconds, parts) || BreakDownTime(clock, false, parts))) {
            cache.kept = false;
            cache.text.clear();
            return cache.text;
        }
        char zone[48] = "Z";
        if (local) {
            long offset = UtcOffsetSeconds(clock, parts);
            char sign = offset < 0 ? '-' : '+';
            if (offset < 0) offset = -offset;
            std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", sign, offset / 3600,
                          (offset / 60) % 60);
        }
        const int64_t year = int64_t{parts.tm_year} + 1900;
        const int second = instant.leapSecond ? 60 : parts.tm_sec;
        // A year past 9999 widens the date and the fraction then sits elsewhere; such
        // texts, and microseconds out of range, are written whole and not kept.
        if (outOfRange || year < 0 || year > 9999) {
            char text[128];
            std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%06d%s",
                          static_cast<long long>(year), parts.tm_mon + 1, parts.tm_mday,
                          parts.tm_hour, parts.tm_min, second,
                          static_cast<int>(instant.microseconds), zone);
            cache.kept = false;
            cache.text = text;
            return cache.text;
        }
        char text[kFractionAt] = {};
        WriteDigits(text, 4, year);
        WriteDigits(text + 5, 2, parts.tm_mon + 1);
        WriteDigits(text + 8, 2, parts.tm_mday);
        WriteDigits(text + 11, 2, parts.tm_hour);
        WriteDigits(text + 14, 2, parts.tm_min);
        WriteDigits(text + 17, 2, second);
        text[4] = text[7] = '-';
        text[10] = 'T';
        text[13] = text[16] = ':';
        text[19] = '.';
        cache.text.assign(text, kFractionAt);
        cache.text.append(6, '0');
        cache.text += zone;
        cache.kept = true;
        cache.second = instant.seconds;
        cache.leapSecond = instant.leapSecond;
        cache.local = local;
    }
    WriteDigits(cache.text.data() + kFractionAt, 6, instant.microseconds);
    return cache.text;
}

double SecondsBetween(const ItemTime& a, const ItemTime& b) {
    return static_cast<double>(int64_t(b.seconds) - int64_t(a.seconds)) +
           static_cast<double>(int64_t(b.microseconds) - int64_t(a.microseconds)) / 1e6;
}

}  // namespace tessavo::cli

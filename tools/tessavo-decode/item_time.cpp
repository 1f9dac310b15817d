#include "item_time.h"

#include <cstdio>
#include <ctime>

namespace tessavo::cli {

std::string FormatItemTime(const ItemTime& time) {
    int64_t seconds = time.seconds;
    int64_t microseconds = time.microseconds;
    seconds += microseconds / 1000000;
    microseconds %= 1000000;
    if (microseconds < 0) {
        microseconds += 1000000;
        seconds -= 1;
    }
    std::time_t clock = static_cast<std::time_t>(seconds);
    std::tm local{};
    if (localtime_r(&clock, &local) == nullptr) return "";
    long offset = local.tm_gmtoff;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%06lld%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<long long>(microseconds), sign,
                  offset / 3600, (offset / 60) % 60);
    return text;
}

double SecondsBetween(const ItemTime& a, const ItemTime& b) {
    return static_cast<double>(int64_t(b.seconds) - int64_t(a.seconds)) +
           static_cast<double>(int64_t(b.microseconds) - int64_t(a.microseconds)) / 1e6;
}

}  // namespace tessavo::cli

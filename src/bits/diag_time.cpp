#include "bits/diag_time.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/le.h"

namespace tessavo {

namespace {

constexpr uint64_t kTicksPerSecond = 800;  // 1.25 ms ticks
constexpr uint64_t kMicrosPerTick = 1000000 / kTicksPerSecond;
static_assert(kMicrosPerTick * kTicksPerSecond == 1000000);

// Local-time instant of the tick origin, 1980-01-06 08:00:00 without daylight saving.
time_t TickOrigin() {
    std::tm origin{};
    origin.tm_year = 80;
    origin.tm_mon = 0;
    origin.tm_mday = 6;
    origin.tm_hour = 8;
    origin.tm_isdst = 0;
    return std::mktime(&origin);
}

// The origin depends on the process's zone. mktime re-reads the zone on every call (a file
// look-up when TZ is unset), which cost more than all the rest of a packet's decoding, so the
// origin is kept per thread and recomputed only when the TZ variable changes.
// Within a ZoneReadOnce the TZ variable is not read again: getenv walks the whole environment,
// which cost more per packet than the conversion itself.
// The cache is trivially destructible: a thread_local with a destructor would be registered
// (and, on some C++ runtimes, allocated) at its first use inside a decode call. A TZ value too
// long for it is never taken as unchanged.
thread_local int zoneReadOnceDepth = 0;

time_t CachedTickOrigin() {
    constexpr size_t kTzCapacity = 256;
    thread_local bool valid = false;
    thread_local bool hadTz = false;
    thread_local char lastTz[kTzCapacity] = {};
    thread_local time_t origin = 0;
    if (valid && zoneReadOnceDepth > 0) return origin;
    const char* tz = std::getenv("TZ");
    const bool hasTz = tz != nullptr;
    const bool sameTz = !hasTz || std::strncmp(lastTz, tz, kTzCapacity) == 0;
    if (!valid || hasTz != hadTz || !sameTz) {
        origin = TickOrigin();
        hadTz = hasTz;
        const size_t length = hasTz ? std::strlen(tz) : 0;
        valid = length < kTzCapacity;
        if (valid) std::memcpy(lastTz, hasTz ? tz : "", length + 1);
    }
    return origin;
}

// The time stamp is normalised through broken-down local time and back. localtime_r keeps the
// daylight-saving flag of the instant, so mktime of its result gives the instant back: the
// round trip is the identity and is not run per packet.
time_t LocalRoundTrip(time_t seconds) {
    return seconds;
}

// The 32-bit seconds word of a pair holds the low 32 bits of the 64-bit time.
int32_t NarrowSeconds(time_t seconds) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(seconds)));
}

time_t DiagSeconds(uint64_t ticks) {
    // ticks < 2^48, so the quotient fits a 64-bit time_t; add in unsigned to keep it defined.
    const uint64_t sum = static_cast<uint64_t>(CachedTickOrigin()) + ticks / kTicksPerSecond;
    return LocalRoundTrip(static_cast<time_t>(sum));
}

}  // namespace

ZoneReadOnce::ZoneReadOnce() {
    if (zoneReadOnceDepth == 0) CachedTickOrigin();
    ++zoneReadOnceDepth;
}

ZoneReadOnce::~ZoneReadOnce() {
    --zoneReadOnceDepth;
}

TimePair DiagTimeToPair(uint64_t stamp) {
    const uint64_t ticks = stamp >> 16;
    // A tick is 1,250 us exactly, so the microseconds are whole: the same as rounding the
    // milliseconds (a multiple of 1.25) times 1000.
    const auto microseconds = static_cast<int32_t>(ticks % kTicksPerSecond * kMicrosPerTick);
    return TimePair{NarrowSeconds(DiagSeconds(ticks)), microseconds};
}

TimePair DiagTimeToPair(const uint8_t* stamp) {
    return DiagTimeToPair(LoadLE<uint64_t>(stamp));
}

bool DiagSecondsDiffer(uint64_t a, uint64_t b) {
    return DiagTimeToPair(a).seconds != DiagTimeToPair(b).seconds;
}

bool DiagSecondsDiffer(const uint8_t* a, const uint8_t* b) {
    return DiagSecondsDiffer(LoadLE<uint64_t>(a), LoadLE<uint64_t>(b));
}

double PairDifference(TimePair a, TimePair b) {
    const auto seconds =
        static_cast<int32_t>(static_cast<uint32_t>(a.seconds) - static_cast<uint32_t>(b.seconds));
    const auto micros = static_cast<int32_t>(static_cast<uint32_t>(a.microseconds) -
                                             static_cast<uint32_t>(b.microseconds));
    return seconds + micros / 1000000.0;
}

double PairToDayNumber(TimePair p) {
    return p.seconds / 86400.0 + 25569.0;
}

}  // namespace tessavo

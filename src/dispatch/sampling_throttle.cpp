#include "dispatch/sampling_throttle.h"

#include "bits/diag_time.h"

namespace tessavo {

bool ThrottleAccepts(SamplingRecord& record, TimePair t) {
    auto accept = [&] {
        record.lastSeconds = t.seconds;
        record.lastMicroseconds = t.microseconds;
        return true;
    };
    if (record.hasLast == 0) {
        record.hasLast = 1;
        return accept();
    }
    const double elapsed = PairDifference(t, TimePair{record.lastSeconds, record.lastMicroseconds});
    if (elapsed - record.interval > -0.00001) return accept();
    if (elapsed < 0) return accept();
    return false;
}

}  // namespace tessavo

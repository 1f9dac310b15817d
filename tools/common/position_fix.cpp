#include "position_fix.h"

#include <cmath>

#include "drive_records.h"

namespace tessavo::cli {

int64_t UtcMicroseconds(const ItemClock& clock, const ItemTime& time) {
    const UtcInstant utc = clock.ToUtc(time);
    return utc.seconds * 1000000 + utc.microseconds;
}

std::optional<GpsFix> CaptureFix(const ItemView& item, const ItemClock& clock) {
    for (const StructParamRecord& record : item.currentStructs) {
        if (record.id != kPositionFixId || record.state != TESSAVO_STATE_FRESH ||
            record.payload.size() < 16) {
            continue;
        }
        const auto longitude = LoadLittle<double>(record.payload, 0);
        const auto latitude = LoadLittle<double>(record.payload, 8);
        const bool held = std::isfinite(latitude) && std::isfinite(longitude) &&
                          std::fabs(latitude) <= 90 && std::fabs(longitude) <= 180 &&
                          (latitude != 0 || longitude != 0);
        if (held) return GpsFix{UtcMicroseconds(clock, item.time), latitude, longitude};
    }
    return std::nullopt;
}

}  // namespace tessavo::cli

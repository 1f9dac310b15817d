// The capture's own position fixes: the handset's position log (structured parameter
// position_fix: longitude and latitude in degrees as f64 at 0 and 8), as fixes of a GPS
// track (gps_track.h) at the item's UTC time. A record that holds no position (text that did
// not convert, 0/0, or out of range) is no fix.
#pragma once

#include <optional>

#include "gps_track.h"
#include "item_time.h"
#include "report_item_reader.h"

namespace tessavo::cli {

inline constexpr uint32_t kPositionFixId = 0x7F0107FC;

// Microseconds since 1970-01-01T00:00:00Z of an item time.
int64_t UtcMicroseconds(const ItemClock& clock, const ItemTime& time);

// The fix a fresh position record of `item` gives, if any.
std::optional<GpsFix> CaptureFix(const ItemView& item, const ItemClock& clock);

}  // namespace tessavo::cli

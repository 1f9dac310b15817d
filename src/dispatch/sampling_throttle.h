// Per-code sampling throttle: at most one packet of a code per interval yields an item.
#pragma once

#include "common/time_pair.h"
#include "decoders/decoder_context.h"

namespace tessavo {

// Accepts the first packet, any packet one interval (less 10 us of rounding) or more after the
// last accepted one, and any packet whose time went backwards; accepted times become the new
// reference.
bool ThrottleAccepts(SamplingRecord& record, TimePair t);

}  // namespace tessavo

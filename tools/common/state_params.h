// The parameters that tell which state a technology is in and which EV-DO sector serves, as
// the drive analysis and the validity rules follow them (IDs as in the catalogue).
#pragma once

#include <array>
#include <cstdint>

namespace tessavo::cli {

inline constexpr uint32_t kChannelStateId = 0x7F01C102;  // 1x: 0 idle, 1 access, 2 traffic
inline constexpr uint32_t kDoStateId = 0x7F018302;       // EV-DO: 0 inactive ... 5 connected
inline constexpr int32_t k1xTraffic = 2;
inline constexpr int32_t kDoInactive = 0;

// Pilot PN of the EV-DO serving sector: carrier-independent (do_serving_pn), then of carriers
// 0, 1 and 2 in multi-carrier mode.
inline constexpr std::array<uint32_t, 4> kDoServingPnIds = {0x7F01800F, 0x7F01910E, 0x7F01A10E,
                                                            0x7F01B10E};

}  // namespace tessavo::cli

// The parameters that tell which state a technology is in, as the drive analysis and the
// validity rules both follow them (IDs as in the catalogue).
#pragma once

#include <cstdint>

namespace tessavo::cli {

inline constexpr uint32_t kChannelStateId = 0x7F01C102;  // 1x: 0 idle, 1 access, 2 traffic
inline constexpr uint32_t kDoStateId = 0x7F018302;       // EV-DO: 0 inactive ... 5 connected
inline constexpr int32_t k1xTraffic = 2;
inline constexpr int32_t kDoInactive = 0;

}  // namespace tessavo::cli

// A (seconds, microseconds) time pair; seconds -9999 marks "not known yet".
#pragma once

#include <cstdint>

namespace tessavo {

struct TimePair {
    int32_t seconds;
    int32_t microseconds;
};

}  // namespace tessavo

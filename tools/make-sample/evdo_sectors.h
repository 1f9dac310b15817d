// Sector, ratio and flow logs of the EV-DO session (evdo_session.h). On two carriers the
// handset logs its active, candidate and neighbour sets (0x12A1), the serving sector of each
// carrier (0x1295), the carrier levels (0x129C) and the power ratios (0x129D) once a second;
// its active set holds three sectors on two carriers, and halfway through the two-carrier
// period the serving sector on the first carrier hands off from sector 120 to sector 240. A
// download runs through the whole session on two forward flows and one reverse flow, logged
// once a second (0x1276 / 0x1275 on one carrier, 0x12A5 / 0x12A6 on two), with a ratio log
// (0x127D) on one carrier.
#pragma once

#include <vector>

#include "evdo_session.h"

namespace tessavo::sample {

inline constexpr uint64_t kEvdoHandoffMs = 288000;  // serving sector 120 -> 240 on carrier 0

std::vector<TimedLog> EvdoSectorAndFlowLogs();

}  // namespace tessavo::sample

// Parse records of the large multi-carrier logs and a blob buffer, kept in the decoder context
// so that no handler builds tens of kilobytes on the stack. Each handler resets the record it
// uses before parsing; nothing here carries over from one packet to the next.
#pragma once

#include <array>
#include <cstdint>

#include "decoders/evdo/multi_carrier_sectors.h"
#include "decoders/evdo/rate_index.h"
#include "decoders/evdo/ratio_blocks.h"
#include "decoders/evdo/sector_table.h"

namespace tessavo {

struct SecondRangeScratch {
    Record129C levels129C;
    Record1295 serving1295;
    Record12A1 sectorSets12A1;
    Record127D ratios127D;
    Record129D ratios129D;
    Record1299 entries1299;
    Record1296 rates1296;
    Record1298 flags1298;
    // The largest blob built in place: the published sector table.
    std::array<uint8_t, kSectorTableBlobSize> blob{};
};

}  // namespace tessavo

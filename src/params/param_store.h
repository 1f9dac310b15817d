// The parameter store: the report item being filled and the bookkeeping of which parameters
// have ever been written. The decoder context builds on it; the store knows no decoder.
#pragma once

#include <array>
#include <cstdint>

#include "params/report_item.h"

namespace tessavo {

// Marks a value not known yet; nothing is published from it.
inline constexpr int32_t kNoValue = -9999;
inline constexpr float kNoValueF = -9999.0f;
inline constexpr double kNoValueD = -9999.0;

// Ordered set of structured-record offsets (ascending, no duplicates); 45 at most.
class OffsetSet {
  public:
    void Insert(uint16_t offset);
    int Size() const { return count_; }
    uint16_t operator[](int i) const { return items_[static_cast<size_t>(i)]; }

  private:
    std::array<uint16_t, kStructParamCount> items_{};
    int count_ = 0;
};

struct ParamStore {
    // The report item the dispatcher and decoders fill; copied into the ring when accepted.
    ReportItem item;

    // Every scalar offset written since creation, in order of first write.
    std::array<uint16_t, kParamCount> touchedParams{};
    uint16_t touchedParamCount = 0;
    OffsetSet touchedStructParams;

    // Values that the shared publishing steps read as well as the decoders.
    uint16_t channelState = 0;     // published as 0x7F01C102
    uint16_t modeC103 = 0;         // published as 0x7F01C103
    int32_t lastValue018309 = -1;  // last 0x7F018309, gates ClearParamGroupC

    ParamStore();
};

}  // namespace tessavo

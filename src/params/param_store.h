// The parameter store: the report item being filled and the bookkeeping of which parameters
// have ever been written. The decoder context builds on it; the store knows no decoder.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "params/inherited_list_cache.h"
#include "params/report_item.h"

namespace tessavo {

// Marks a value not known yet; nothing is published from it.
inline constexpr int32_t kNoValue = -9999;
inline constexpr float kNoValueF = -9999.0f;
inline constexpr double kNoValueD = -9999.0;

// The handset's channel state (`ParamStore::channelState`): idle on the paging or sync
// channel, on the access channel, or on a traffic channel.
inline constexpr uint16_t kChannelIdle = 0;
inline constexpr uint16_t kChannelAccess = 1;
inline constexpr uint16_t kChannelTraffic = 2;

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

// The report item seen as lines of 256 bytes, each stamped with the generation of its last
// write. A generation is the span between two appends to the ring; a ring node remembers the
// generation it was filled in, so it needs only the lines stamped later than that.
inline constexpr size_t kItemLineBytes = 256;
inline constexpr size_t kItemLineCount = (sizeof(ReportItem) + kItemLineBytes - 1) / kItemLineBytes;

// One bit per line of the item.
using ItemLineSet = std::array<uint64_t, (kItemLineCount + 63) / 64>;

struct ItemWrites {
    std::array<uint32_t, kItemLineCount> lineGeneration{};
    uint32_t generation = 1;  // stamp of the writes since the last append
    ItemLineSet stamped{};    // the lines stamped since the last append

    void Stamp(size_t line) {
        lineGeneration[line] = generation;
        stamped[line / 64] |= uint64_t{1} << (line % 64);
    }
};

struct ParamStore {
    // The report item the dispatcher and decoders fill; copied into the ring when accepted.
    ReportItem item;
    ItemWrites writes;
    // Set only by tests: appends copy the whole item, blocks are cleared over their whole
    // capacity and the inherited lists are rebuilt at every packet, the plain behaviour the
    // faster paths are checked against.
    bool plainWrites = false;

    // Every write into `item` goes through here: stamps the lines holding [at, at + n).
    void Mark(const void* at, size_t n) {
        const auto base = reinterpret_cast<uintptr_t>(&item);
        const auto from = reinterpret_cast<uintptr_t>(at) - base;
        if (n == 0 || from >= sizeof item) return;
        const size_t last = std::min<size_t>(from + n, sizeof item) - 1;
        for (size_t l = from / kItemLineBytes; l <= last / kItemLineBytes; ++l) writes.Stamp(l);
    }
    // A block written from its start: the length word and the bytes up to the length.
    void MarkBlock(const Block& block) {
        Mark(&block, sizeof block.length + std::min<size_t>(block.length, kBlockCapacity));
    }

    // Every scalar offset written since creation, in order of first write.
    std::array<uint16_t, kParamCount> touchedParams{};
    uint16_t touchedParamCount = 0;
    OffsetSet touchedStructParams;
    // The inherited lists between packets; every state change of a record is noted here.
    InheritedListCache<kParamCount> inheritedParams;
    InheritedListCache<kStructParamCount> inheritedStructs;

    // Values that the shared publishing steps read as well as the decoders.
    uint16_t channelState = 0;     // published as 0x7F01C102
    uint16_t modeC103 = 0;         // published as 0x7F01C103
    int32_t lastValue018309 = -1;  // last 0x7F018309, gates ClearParamGroupC

    ParamStore();
};

}  // namespace tessavo

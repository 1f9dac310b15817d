// What the working item held at each of the last 300 appends, so that a ring node can be filled
// with an item's bytes only when a host reads them. Kept as the item as of the last append plus,
// for each append, the lines it changed with the bytes they held before: a line's bytes as of
// an earlier append are those saved by the first later append that changed it, or, when none
// did, the bytes it holds now.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "api/node_pages.h"
#include "params/param_store.h"

namespace tessavo {

inline constexpr int kHistoryDepth = 300;  // appends remembered: the ring's node count

class ItemHistory {
  public:
    using LineSet = ItemLineSet;

    // Takes the memory for the saved lines (zero pages, touched only as lines are saved) and
    // remembers no append; the item as of "the last append" is `item` as it is now. False when
    // the system gives no memory.
    bool Start(const ReportItem& item);
    // Forgets every append (no item of them is read again); the item as of the last append
    // stays what it was.
    void Forget();
    // Records an append of the store's item: the lines stamped in its current generation and
    // their bytes before. Returns the append's serial number (from 1). The caller copies the
    // stamped lines of `kept` into the appended item's node at once: a line of `kept` the
    // append before also stamped then has its bytes before in that item's node, the only item
    // that held them, and is not saved again.
    uint64_t Record(const ParamStore& store, const LineSet& kept);
    // The 256 bytes (fewer for the last line) that `line` held at append `serial`, which must
    // be one of the last 300 recorded; `generation` is the store's generation that append
    // closed.
    const uint8_t* LineAt(const ParamStore& store, uint64_t serial, uint32_t generation,
                          size_t line) const;

    // The bytes of `line` as of the last append (lines follow one another here).
    const uint8_t* Current(size_t line) const { return last_.get() + line * kItemLineBytes; }

  private:
    struct Step {
        uint64_t serial = 0;  // 0: no append held here
        uint64_t first = 0;   // index of its first saved line
        LineSet lines{};      // the lines whose bytes before it saved, in ascending order
        uint32_t count = 0;
    };

    uint8_t* Saved(uint64_t index) const {
        return saved_.Base() + (index - origin_) % capacity_ * kItemLineBytes;
    }
    void Grow(uint64_t lines);

    // The item as of the last append, in whole lines.
    std::unique_ptr<uint8_t[]> last_ = std::make_unique<uint8_t[]>(kItemLineCount * kItemLineBytes);
    std::array<Step, kHistoryDepth> steps_{};
    uint64_t serial_ = 0;  // of the last append
    LineSet previous_{};   // the lines the last append stamped
    // Saved lines, a circle of `capacity_` lines at the start of room for the most 300 appends
    // can save; indices count every line ever saved, index `origin_` at the circle's start.
    NodePages saved_;
    uint64_t capacity_ = 0;
    uint64_t origin_ = 0;
    uint64_t head_ = 0;  // next index to save at
    uint64_t tail_ = 0;  // oldest index still needed
};

}  // namespace tessavo

#include "params/param_store.h"

#include <algorithm>

namespace tessavo {

void OffsetSet::Insert(uint16_t offset) {
    int pos = 0;
    while (pos < count_ && items_[static_cast<size_t>(pos)] < offset) ++pos;
    if (pos < count_ && items_[static_cast<size_t>(pos)] == offset) return;
    if (count_ >= kStructParamCount) return;
    for (int i = count_; i > pos; --i)
        items_[static_cast<size_t>(i)] = items_[static_cast<size_t>(i - 1)];
    items_[static_cast<size_t>(pos)] = offset;
    ++count_;
}

ParamStore::ParamStore() {
    ConstructReportItem(item);
    // Only the lines built non-zero are stamped: a ring node of fresh zero pages already holds
    // the others, so its first fill copies nothing but what was ever written.
    const auto* bytes = reinterpret_cast<const uint8_t*>(&item);
    for (size_t l = 0; l < kItemLineCount; ++l) {
        const size_t from = l * kItemLineBytes;
        const size_t to = std::min(from + kItemLineBytes, sizeof item);
        if (std::any_of(bytes + from, bytes + to, [](uint8_t b) { return b != 0; })) {
            writes.lineGeneration[l] = writes.generation;
        }
    }
}

}  // namespace tessavo

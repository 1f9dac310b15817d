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
}

}  // namespace tessavo

#include "params/report_item.h"

#include <algorithm>
#include <cstring>

namespace tessavo {

void Block::Assign(const uint8_t* src, size_t n) {
    const size_t take = std::min<size_t>(n, kBlockCapacity);
    if (take != 0) std::memcpy(bytes, src, take);
    length = static_cast<uint32_t>(take);
}

void Block::Append(const uint8_t* src, size_t n) {
    const size_t room = kBlockCapacity - std::min<size_t>(length, kBlockCapacity);
    const size_t take = std::min(n, room);
    if (take != 0) std::memcpy(bytes + length, src, take);
    length += static_cast<uint32_t>(take);
}

void ConstructReportItem(ReportItem& item) {
    std::memset(&item, 0, sizeof item);
    std::memset(item.payload.bytes, 0xFF, kBlockCapacity);
    std::memset(item.zelFilter.bytes, 0xFF, kBlockCapacity);
    std::memset(item.zelSimple.bytes, 0xFF, kBlockCapacity);
    item.direction = 2;
    item.paramCapacity = kParamCount;
    item.structCapacity = kStructParamCount;
    ConstructParamTable(item.params);
    ConstructStructParamTable(item.structArea);
}

}  // namespace tessavo

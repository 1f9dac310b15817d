#include "decoders/evdo/sector_table.h"

#include <algorithm>
#include <cstring>

#include "common/le.h"

namespace tessavo {

void SectorTable::Clear() {
    std::memset(static_cast<void*>(rows.data()), 0, sizeof rows);
    count = 0;
}

int SectorTable::Used() const {
    return std::clamp<int32_t>(count, 0, kSectorTableCapacity);
}

void SectorTable::Insert(const SectorRow& row) {
    const int used = Used();
    for (int i = 0; i < used; ++i) {
        SectorRow& r = rows[static_cast<size_t>(i)];
        if (r.sector == row.sector && r.channel == row.channel) {
            const int32_t keep = r.field10;
            r = row;
            r.field10 = keep;
            return;
        }
    }
    if (used < kSectorTableCapacity) {
        rows[static_cast<size_t>(used)] = row;
        count = used + 1;
    }
}

void StoreSectorRow(uint8_t* out, const SectorRow& row) {
    StoreLE(out + 0, row.kind);
    StoreLE(out + 4, row.channel);
    StoreLE(out + 8, row.sector);
    StoreLE(out + 12, row.carrierLevel);
    StoreLE(out + 20, row.convertedLevel);
    StoreLE(out + 28, row.level);
    StoreLE(out + 36, row.field10);
    for (size_t i = 0; i < row.spare.size(); ++i) StoreLE(out + 40 + 4 * i, row.spare[i]);
}
static_assert(40 + 4 * 4 == kSectorRowWireSize);

void StoreSectorTable(uint8_t* out, const SectorTable& table) {
    std::memset(out, 0, kSectorTableBlobSize);
    const int used = table.Used();
    StoreLE(out, static_cast<uint32_t>(used));
    for (int i = 0; i < std::min(used, kSectorRowsPublished); ++i) {
        StoreSectorRow(out + 4 + kSectorRowWireSize * static_cast<size_t>(i),
                       table.rows[static_cast<size_t>(i)]);
    }
}

}  // namespace tessavo

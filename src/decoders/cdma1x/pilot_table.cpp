#include "decoders/cdma1x/pilot_table.h"

#include "common/le.h"

namespace tessavo {

void PilotTable::Update(const PilotEntry& entry) {
    const int at = Find(entry.pn);
    if (at >= 0) {
        entries[static_cast<size_t>(at)] = entry;
    } else if (count >= 0 && count < kPilotTableCapacity) {
        entries[static_cast<size_t>(count)] = entry;
        ++count;
    }
}

int PilotTable::Find(uint32_t pn) const {
    for (int i = 0; i < count && i < kPilotTableCapacity; ++i) {
        if (entries[static_cast<size_t>(i)].pn == pn) return i;
    }
    return -1;
}

int PilotTable::FindActive(uint32_t pn) const {
    for (int i = 0; i < count && i < kPilotTableCapacity; ++i) {
        const PilotEntry& e = entries[static_cast<size_t>(i)];
        if (e.source == kPilotSourceActive && e.pn == pn) return i;
    }
    return -1;
}

void StorePilotEntry(uint8_t* out, const PilotEntry& entry) {
    StoreLE(out + 0, entry.source);
    StoreLE(out + 4, entry.channel);
    StoreLE(out + 8, entry.pn);
    StoreLE(out + 12, entry.rxPower);
    StoreLE(out + 20, entry.pilotPower);
    StoreLE(out + 28, entry.ecio);
    StoreLE(out + 36, entry.reserved);
}

}  // namespace tessavo

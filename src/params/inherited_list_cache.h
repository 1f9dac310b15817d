// The inherited list of one record kind, kept between packets.
//
// A packet start changes the state of only the records written in the packet before (fresh
// becomes inherited, cleared becomes retired); every other record keeps its state. So unless
// a record joined the inherited set (first written, or written again after being cleared)
// or left it (cleared), the list is the one the last full walk built, and the start needs
// to visit only the records written since.
#pragma once

#include <array>
#include <cstdint>

#include "params/report_item.h"

namespace tessavo {

template <size_t Capacity>
struct InheritedListCache {
    // The list the last full walk built.
    std::array<uint16_t, Capacity> list{};
    uint16_t count = 0;
    // Records made fresh since the last packet start, while the list is good.
    std::array<uint16_t, Capacity> written{};
    uint16_t writtenCount = 0;
    // A record joined or left the inherited set: the next packet start walks everything.
    bool stale = true;
    // The item's inherited list is `list`: a packet start that keeps it needs no comparison.
    // Whatever else writes the item's list clears it.
    bool itemHoldsList = false;

    // A record at `offset` goes from `before` to fresh.
    void NoteFresh(uint16_t offset, int32_t before) {
        if (before == TESSAVO_STATE_FRESH) return;  // noted at its first write
        if (before != TESSAVO_STATE_INHERITED) stale = true;
        // A stale cache needs no notes. While it is good every note is of another record (one
        // leaves fresh only by a clear, which makes it stale), so `written` never fills up;
        // the bound only keeps the array safe.
        if (stale || writtenCount >= Capacity) {
            stale = true;
            return;
        }
        written[writtenCount++] = offset;
    }
    // A record leaves the inherited set by being cleared.
    void NoteCleared() { stale = true; }
};

}  // namespace tessavo

// The circle of 300 report items between decoding and collection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "api/item_history.h"
#include "api/node_pages.h"
#include "params/param_store.h"

namespace tessavo {

inline constexpr int kRingSize = kHistoryDepth;

namespace ring_layout {

constexpr size_t RoundUp(size_t n, size_t unit) { return (n + unit - 1) / unit * unit; }

// Where an item starts in its node: a whole number of lines, placed so that the lines nearly
// every host reads after the time (the direction, the counts, both scalar lists and the scalar
// table) start a page and take two, not three.
inline constexpr size_t kHotFrom = offsetof(ReportItem, direction) / kItemLineBytes * kItemLineBytes;
inline constexpr size_t kHotTo = RoundUp(offsetof(ReportItem, curStructCount), kItemLineBytes);
inline constexpr size_t kItemStart = (kPageBytes - kHotFrom % kPageBytes) % kPageBytes;
// Each node starts on a page of its own, so an item's unread pages stay untouched.
inline constexpr size_t kNodeStride = RoundUp(kItemStart + sizeof(ReportItem), kPageBytes);

}  // namespace ring_layout

// An append copies into its node only the lines it stamped among those nearly every host reads
// (the time, the counts, the scalar lists and table); the rest of an item comes from the
// store's history when a host first reads it (Fill), line by line, so a node takes memory and
// time only for what hosts read. What a host writes into a node is never read back by the
// library: later items come from the store and its history alone.
class ReportRing {
public:
    ReportRing() = default;
    ReportRing(const ReportRing&) = delete;
    ReportRing& operator=(const ReportRing&) = delete;
    ~ReportRing() { Free(); }

    // Takes the nodes' storage from the system (zero pages, first touched when a host reads
    // an item there); the history starts from the store's item as it is now. On failure
    // prints the fixed message and returns false.
    bool Build(ParamStore& store);
    // Appends the store's item; when 300 items are uncollected the oldest is dropped (the
    // decode calls check Room() first, so that happens only to a caller that does not).
    // Returns the uncollected count after the append. The store's generation advances.
    int32_t Append(ParamStore& store);
    // Moves every uncollected item, oldest first, into `out` (which is emptied first).
    int32_t Collect(std::vector<ReportItem*>& out);
    // Drops the uncollected items; items already collected stay readable.
    void Clear();
    // Drops every item, collected or not, for an object returned to its fresh state.
    void Reset();
    void Free();

    int32_t Count() const { return count_; }
    int32_t Room() const { return kRingSize - count_; }

    // Makes bytes [at, at + n) of `item` (an item handed out by Collect) hold what the store
    // held at its append, for a host about to read them; lines filled before are left as they
    // are (the host may have written there).
    void Fill(const ParamStore& store, const ReportItem& item, const void* at, size_t n) {
        // Nearly every read lies in one line filled already (one the append copied): decided
        // here, without a call.
        const auto* base = reinterpret_cast<const uint8_t*>(&item);
        const auto from = static_cast<size_t>(static_cast<const uint8_t*>(at) - base);
        const auto node = static_cast<size_t>(base - storage_) / ring_layout::kNodeStride;
        if (n != 0 && from < sizeof(ReportItem) && node < kRingSize &&
            from / kItemLineBytes == (from + n - 1) / kItemLineBytes) {
            const size_t l = from / kItemLineBytes;
            if ((nodes_[node].filled[l / 64] >> (l % 64) & 1) != 0) return;
        }
        FillLines(store, item, at, n);
    }

private:
    struct NodeState {
        uint64_t serial = 0;      // the history's number for the item's append
        uint32_t generation = 0;  // the store's generation the append closed
        ItemHistory::LineSet filled{};  // lines that hold the item's bytes
    };

    ReportItem& ItemAt(int node) const;
    void FillLines(const ParamStore& store, const ReportItem& item, const void* at, size_t n);

    NodePages pages_;
    uint8_t* storage_ = nullptr;
    ItemHistory history_;
    std::array<NodeState, kRingSize> nodes_{};
    int write_ = 0;
    int read_ = 0;
    int32_t count_ = 0;
};

}  // namespace tessavo

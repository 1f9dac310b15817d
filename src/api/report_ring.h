// The circle of 300 preallocated report items between decoding and collection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "params/report_item.h"

namespace tessavo {

inline constexpr int kRingSize = 300;

class ReportRing {
public:
    ReportRing() = default;
    ReportRing(const ReportRing&) = delete;
    ReportRing& operator=(const ReportRing&) = delete;
    ~ReportRing() { Free(); }

    // Allocates and constructs the nodes. On an allocation failure prints the fixed message,
    // frees the nodes already built and returns false: an incomplete ring is never used.
    bool Build();
    // Copies the item into the node at the write cursor; when 300 items are uncollected the
    // oldest is dropped. Returns the uncollected count after the append.
    int32_t Append(const ReportItem& item);
    // Moves every uncollected item, oldest first, into `out` (which is emptied first).
    int32_t Collect(std::vector<ReportItem*>& out);
    // Drops the uncollected items; items already collected stay readable.
    void Clear();
    void Free();

    int32_t Count() const { return count_; }

    // Node storage source; tests replace it to exercise an allocation failure. Must return
    // memory that ::operator delete releases, or null.
    using NodeAllocator = void* (*)(size_t bytes);
    static NodeAllocator nodeAllocator;

private:
    struct Node {
        ReportItem item;
        Node* next;
    };

    Node* head_ = nullptr;
    Node* write_ = nullptr;
    Node* read_ = nullptr;
    int32_t count_ = 0;
};

}  // namespace tessavo

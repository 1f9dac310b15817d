// The circle of 300 preallocated report items between decoding and collection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "params/param_store.h"

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
    // Copies the store's item into the node at the write cursor; when 300 items are
    // uncollected the oldest is dropped. Returns the uncollected count after the append.
    // A node keeps its bytes between uses, so it takes only the lines of the item written
    // since it was last filled (all of them the first time); the store's generation advances.
    int32_t Append(ParamStore& store);
    // Moves every uncollected item, oldest first, into `out` (which is emptied first).
    int32_t Collect(std::vector<ReportItem*>& out);
    // Drops the uncollected items; items already collected stay readable.
    void Clear();
    // Drops every item and forgets what the nodes hold: each node's next fill is a whole copy,
    // and the store's line stamps start again (for an object returned to its fresh state).
    void Reset(ParamStore& store);
    void Free();

    int32_t Count() const { return count_; }

    // The structured accessors write a payload address into a collected item's record header,
    // outside the store's marks: the node takes the item's data words again at its next fill.
    static void NoteDataWordWritten(ReportItem& collected);

    // Node storage source; tests replace it to exercise an allocation failure. Must return
    // memory that ::operator delete releases, or null.
    using NodeAllocator = void* (*)(size_t bytes);
    static NodeAllocator nodeAllocator;

private:
    struct Node {
        ReportItem item;
        Node* next;
        uint32_t generation;   // of the item copy it holds; 0 while it holds none
        bool dataWordWritten;  // by an accessor since the node was filled
    };

    void CopyChangedLines(Node& node, const ParamStore& store);
    void ForgetGenerations(ParamStore& store);

    Node* head_ = nullptr;
    Node* write_ = nullptr;
    Node* read_ = nullptr;
    int32_t count_ = 0;
};

}  // namespace tessavo

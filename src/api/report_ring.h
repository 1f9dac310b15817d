// The circle of 300 report items between decoding and collection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "api/node_pages.h"
#include "params/param_store.h"

namespace tessavo {

inline constexpr int kRingSize = 300;

class ReportRing {
public:
    ReportRing() = default;
    ReportRing(const ReportRing&) = delete;
    ReportRing& operator=(const ReportRing&) = delete;
    ~ReportRing() { Free(); }

    // Takes the nodes' storage from the system; a node's pages are first touched when an item
    // is copied into them. Each node starts as the store's item as it is now (or as zeros
    // where the system gives no shared template), and the store's generation advances. On
    // failure prints the fixed message and returns false.
    bool Build(ParamStore& store);
    // Copies the store's item into the node at the write cursor; when 300 items are
    // uncollected the oldest is dropped (the decode calls check Room() first, so that happens
    // only to a caller that does not). Returns the uncollected count after the append.
    // A node keeps its bytes between uses, so it takes only the lines of the item written
    // since it was last filled, plus the lines a host was handed pointers into; a node that
    // never held an item takes only the lines written since the ring was built (or ever written,
    // over zeros). The store's generation advances.
    int32_t Append(ParamStore& store);
    // Moves every uncollected item, oldest first, into `out` (which is emptied first).
    int32_t Collect(std::vector<ReportItem*>& out);
    // Drops the uncollected items; items already collected stay readable.
    void Clear();
    // Drops every item, collected or not, for an object returned to its fresh state. Each node
    // keeps what it holds and the generation it holds it as, so its next fill is still a copy
    // of the changed lines only: the store's stamps must go on from where they were, with every
    // line whose bytes the return changed stamped anew (see ResetDecoderObject).
    void Reset();
    void Free();

    int32_t Count() const { return count_; }
    int32_t Room() const { return kRingSize - count_; }

    // A host was handed a pointer to bytes [at, at + n) of a collected item and may write
    // there: the lines they cover are taken again from the store at the node's next fill.
    void Expose(const ReportItem& item, const void* at, size_t n);

    // True when the nodes start as views of one shared template item.
    bool SharesTemplate() const { return pages_.HoldTemplate(); }

private:
    static constexpr size_t kExposedWords = (kItemLineCount + 63) / 64;
    struct NodeState {
        // The node holds the store's item as of this generation: every line stamped later
        // differs. A node of zero pages holds generation 0 (every line ever stamped differs).
        uint32_t generation = 0;
        bool whole = false;  // what it holds is unknown: the next fill copies the whole item
        std::array<uint64_t, kExposedWords> exposed{};  // lines handed to a host
    };

    ReportItem& ItemAt(int node) const;
    void CopyLines(int node, const ParamStore& store);
    void ForgetGenerations(ParamStore& store);

    NodePages pages_;
    uint8_t* storage_ = nullptr;
    std::array<NodeState, kRingSize> nodes_{};
    int write_ = 0;
    int read_ = 0;
    int32_t count_ = 0;
};

}  // namespace tessavo

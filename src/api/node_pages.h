// Memory of the ring's nodes and history, taken straight from the system as zero pages, so that
// a page costs nothing until it is written: pages of the normal size for the sparsely written
// nodes, large pages where the system offers them for the history, written densely.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr size_t kPageBytes = 4096;
// The system's large page (x86-64, and AArch64 with 4 KB pages): a dense region starts on one.
inline constexpr size_t kLargePageBytes = size_t{2} << 20;

class NodePages {
  public:
    NodePages() = default;
    NodePages(const NodePages&) = delete;
    NodePages& operator=(const NodePages&) = delete;
    ~NodePages() { Release(); }

    // `bytes` of zero pages; false when the system gives none. `dense`: they will be written
    // from the start on, one after the other, so large pages may back them.
    bool Map(size_t bytes, bool dense = false);
    void Release();

    uint8_t* Base() const { return base_; }

    // Tests replace it to exercise an allocation failure: it stands for the system's answer
    // to a request for `bytes` of fresh pages (null: none).
    using Allocator = void* (*)(size_t bytes);
    static Allocator allocator;
    static void* AllocateZeroPages(size_t bytes);

  private:
    uint8_t* base_ = nullptr;
    void* mapping_ = nullptr;  // what the allocator gave: base_ may lie past its start
    size_t bytes_ = 0;
};

}  // namespace tessavo

#include "api/node_pages.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

namespace tessavo {

NodePages::Allocator NodePages::allocator = NodePages::AllocateZeroPages;

void* NodePages::AllocateZeroPages(size_t bytes) {
#if defined(_WIN32)
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
#if defined(MADV_NOHUGEPAGE)
    // The nodes' pages are used sparsely (a few of each node's 19): with transparent huge pages
    // set to "always", 2 MB pages would make the whole region resident. Map asks for them
    // again over a dense region.
    madvise(p, bytes, MADV_NOHUGEPAGE);
#endif
    return p;
#endif
}

bool NodePages::Map(size_t bytes, bool dense) {
    Release();
#if defined(_WIN32) || !defined(MADV_HUGEPAGE)
    dense = false;  // large pages there need privileges or are not offered
#endif
    // A dense region is mapped a large page longer, so that it can start on a large page.
    const size_t extra = dense ? kLargePageBytes : 0;
    mapping_ = allocator(bytes + extra);
    if (mapping_ == nullptr) return false;
    bytes_ = bytes + extra;
    base_ = static_cast<uint8_t*>(mapping_);
    if (dense) {
        const auto at = reinterpret_cast<uintptr_t>(mapping_);
        base_ += (kLargePageBytes - at % kLargePageBytes) % kLargePageBytes;
#if !defined(_WIN32) && defined(MADV_HUGEPAGE)
        // Written from its start, one page after the other, the region is better served by a
        // 2 MB page per 2 MB than by 512 faults of 4 KB each (where the system offers them).
        madvise(base_, bytes, MADV_HUGEPAGE);
#endif
    }
    return true;
}

void NodePages::Release() {
    if (base_ == nullptr) return;
#if defined(_WIN32)
    VirtualFree(mapping_, 0, MEM_RELEASE);
#else
    munmap(mapping_, bytes_);
#endif
    base_ = nullptr;
    mapping_ = nullptr;
}

}  // namespace tessavo

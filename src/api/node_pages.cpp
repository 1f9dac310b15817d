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
    // The pages are used sparsely (a few of each node's 19): with transparent huge pages set
    // to "always", 2 MB pages would make the whole region resident.
    madvise(p, bytes, MADV_NOHUGEPAGE);
#endif
    return p;
#endif
}

bool NodePages::Map(size_t bytes) {
    Release();
    base_ = static_cast<uint8_t*>(allocator(bytes));
    bytes_ = bytes;
    return base_ != nullptr;
}

void NodePages::Release() {
    if (base_ == nullptr) return;
#if defined(_WIN32)
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, bytes_);
#endif
    base_ = nullptr;
}

}  // namespace tessavo

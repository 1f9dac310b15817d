#include "api/node_pages.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tessavo {

NodePages::Allocator NodePages::allocator = NodePages::AllocateZeroPages;

void* NodePages::AllocateZeroPages(size_t bytes) {
#if defined(_WIN32)
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
#else
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#endif
}

bool NodePages::Map(const void* tmpl, size_t templateBytes, size_t stride, int count) {
    Release();
    bytes_ = stride * static_cast<size_t>(count);
    if (allocator == AllocateZeroPages && MapTemplateViews(tmpl, templateBytes, stride, count)) {
        holdTemplate_ = true;
        return true;
    }
    base_ = static_cast<uint8_t*>(allocator(bytes_));
    holdTemplate_ = false;
    return base_ != nullptr;
}

#if defined(__linux__)
// One memory file holds the template; every node maps it privately at the same offset, so a
// node's unwritten pages are the file's pages, shared by all nodes, and a write copies just
// the page it falls in.
bool NodePages::MapTemplateViews(const void* tmpl, size_t templateBytes, size_t stride,
                                 int count) {
    const int fd = memfd_create("tessavo-item", MFD_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ftruncate(fd, static_cast<off_t>(stride)) == 0;
    for (size_t done = 0; ok && done < templateBytes;) {
        const ssize_t n = pwrite(fd, static_cast<const uint8_t*>(tmpl) + done,
                                 templateBytes - done, static_cast<off_t>(done));
        ok = n > 0;
        if (ok) done += static_cast<size_t>(n);
    }
    void* region = ok ? mmap(nullptr, bytes_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                             -1, 0)
                      : MAP_FAILED;
    if (region == MAP_FAILED) {
        close(fd);
        return false;
    }
    auto* base = static_cast<uint8_t*>(region);
    for (int k = 0; ok && k < count; ++k) {
        void* at = base + stride * static_cast<size_t>(k);
        ok = mmap(at, stride, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, 0) == at;
    }
    close(fd);  // the views keep the file
    if (!ok) {
        munmap(region, bytes_);
        return false;
    }
    base_ = base;
    return true;
}
#else
bool NodePages::MapTemplateViews(const void*, size_t, size_t, int) {
    return false;
}
#endif

void NodePages::Release() {
    if (base_ == nullptr) return;
#if defined(_WIN32)
    VirtualFree(base_, 0, MEM_RELEASE);
#else
    munmap(base_, bytes_);
#endif
    base_ = nullptr;
    holdTemplate_ = false;
}

}  // namespace tessavo

// Memory of the ring's nodes, taken straight from the system so that a page costs nothing
// until it is written. Where the system allows it every node is a private copy-on-write view
// of one template record: a node's pages that no item ever changes are never copied, and the
// host still reads the template's bytes there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessavo {

inline constexpr size_t kPageBytes = 4096;

class NodePages {
  public:
    NodePages() = default;
    NodePages(const NodePages&) = delete;
    NodePages& operator=(const NodePages&) = delete;
    ~NodePages() { Release(); }

    // `count` nodes of `stride` bytes (a whole number of pages), each reading as the
    // `templateBytes` bytes at `tmpl` followed by zeros, or, where views of one template cannot
    // be had, as zeros. False when no memory could be had at all.
    bool Map(const void* tmpl, size_t templateBytes, size_t stride, int count);
    void Release();

    uint8_t* Base() const { return base_; }
    // True when the nodes read as the template, false when they read as zeros.
    bool HoldTemplate() const { return holdTemplate_; }

    // Tests replace it to exercise an allocation failure: it stands for the system's answer
    // to a request for `bytes` of fresh pages (null: none).
    using Allocator = void* (*)(size_t bytes);
    static Allocator allocator;
    static void* AllocateZeroPages(size_t bytes);

  private:
    bool MapTemplateViews(const void* tmpl, size_t templateBytes, size_t stride, int count);

    uint8_t* base_ = nullptr;
    size_t bytes_ = 0;
    bool holdTemplate_ = false;
};

}  // namespace tessavo

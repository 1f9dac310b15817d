#include "api/report_ring.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

#include "common/messages.h"

namespace tessavo {

ReportRing::NodeAllocator ReportRing::nodeAllocator = [](size_t bytes) -> void* {
    return ::operator new(bytes, std::nothrow);
};

namespace {
void DestroyNode(void* node) { ::operator delete(node); }
}  // namespace

bool ReportRing::Build() {
    Free();
    Node* first = nullptr;
    Node* last = nullptr;
    for (int i = 0; i < kRingSize; ++i) {
        void* storage = nodeAllocator(sizeof(Node));
        if (storage == nullptr) {
            PrintMessage("Allocate ListNode Failed\n");
            if (last != nullptr) last->next = nullptr;
            for (Node* n = first; n != nullptr;) {
                Node* next = n->next;
                DestroyNode(n);
                n = next;
            }
            return false;
        }
        // A node's record is never read before an append has copied a whole item into it
        // (its first fill is a whole copy), so it is left unfilled: touching 300 x 73 KB here
        // would dominate object creation.
        Node* node = new (storage) Node;
        node->next = nullptr;
        node->generation = 0;
        if (first == nullptr) first = node;
        if (last != nullptr) last->next = node;
        last = node;
    }
    last->next = first;
    head_ = write_ = read_ = first;
    count_ = 0;
    return true;
}

void ReportRing::CopyChangedLines(Node& node, const ParamStore& store) {
    const auto* src = reinterpret_cast<const uint8_t*>(&store.item);
    auto* dst = reinterpret_cast<uint8_t*>(&node.item);
    const auto& lines = store.writes.lineGeneration;
    const uint32_t held = node.generation;
    for (size_t l = 0; l < kItemLineCount;) {
        if (lines[l] <= held) {
            ++l;
            continue;
        }
        size_t end = l + 1;
        while (end < kItemLineCount && lines[end] > held) ++end;
        const size_t from = l * kItemLineBytes;
        const size_t to = std::min(end * kItemLineBytes, sizeof(ReportItem));
        std::memcpy(dst + from, src + from, to - from);
        l = end;
    }
    // The structured records' data words are also written by the accessors into collected
    // items (the payload address), outside the store: they are taken on every append.
    for (uint16_t offset : kStructParamOffsets) {
        const size_t at = offsetof(ReportItem, structArea) + offset + kStructDataOffset;
        std::memcpy(dst + at, src + at, sizeof(uint32_t));
    }
}

// After 2^32 appends the stamps could be mistaken for old ones: every node starts again from
// a whole copy.
void ReportRing::ForgetGenerations(ParamStore& store) {
    Node* n = head_;
    for (int i = 0; i < kRingSize && n != nullptr; ++i, n = n->next) n->generation = 0;
    store.writes.lineGeneration.fill(0);
    store.writes.generation = 1;
}

int32_t ReportRing::Append(ParamStore& store) {
    if (count_ >= kRingSize) {
        read_ = read_->next;
    } else {
        ++count_;
    }
    Node& node = *write_;
    if (node.generation == 0 || store.plainWrites) {
        std::memcpy(&node.item, &store.item, sizeof store.item);
    } else {
        CopyChangedLines(node, store);
    }
    node.generation = store.writes.generation;
    if (++store.writes.generation == 0) ForgetGenerations(store);
    write_ = write_->next;
    return count_;
}

int32_t ReportRing::Collect(std::vector<ReportItem*>& out) {
    const int32_t n = count_;
    out.clear();
    for (int32_t i = 0; i < n; ++i) {
        out.push_back(&read_->item);
        read_ = read_->next;
        --count_;
    }
    return n;
}

void ReportRing::Clear() {
    count_ = 0;
    read_ = write_;
}

void ReportRing::Free() {
    Node* n = head_;
    for (int i = 0; i < kRingSize && n != nullptr; ++i) {
        Node* next = n->next;
        DestroyNode(n);
        n = next;
    }
    head_ = write_ = read_ = nullptr;
    count_ = 0;
}

}  // namespace tessavo

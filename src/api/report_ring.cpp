#include "api/report_ring.h"

#include <algorithm>
#include <array>
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
        node->dataWordWritten = false;
        if (first == nullptr) first = node;
        if (last != nullptr) last->next = node;
        last = node;
    }
    last->next = first;
    head_ = write_ = read_ = first;
    count_ = 0;
    return true;
}

namespace {

// Item offsets of the structured records' data words.
constexpr std::array<uint32_t, kStructParamCount> kDataWordOffsets = [] {
    std::array<uint32_t, kStructParamCount> at{};
    for (size_t k = 0; k < at.size(); ++k) {
        at[k] = static_cast<uint32_t>(offsetof(ReportItem, structArea) + kStructParamOffsets[k] +
                                      kStructDataOffset);
    }
    return at;
}();

}  // namespace

void ReportRing::CopyChangedLines(Node& node, const ParamStore& store) {
    const auto* src = reinterpret_cast<const uint8_t*>(&store.item);
    auto* dst = reinterpret_cast<uint8_t*>(&node.item);
    const auto& lines = store.writes.lineGeneration;
    const uint32_t held = node.generation;
    // Lines to take, flagged in one branch-free pass; runs of them are then copied at once,
    // skipping eight untouched lines at a time.
    std::array<uint8_t, kItemLineCount + 8> take{};
    for (size_t l = 0; l < kItemLineCount; ++l) take[l] = lines[l] > held ? 1 : 0;
    for (size_t l = 0; l < kItemLineCount;) {
        uint64_t eight = 0;
        std::memcpy(&eight, take.data() + l, sizeof eight);
        if (eight == 0) {
            l += 8;
            continue;
        }
        if (take[l] == 0) {
            ++l;
            continue;
        }
        size_t end = l + 1;
        while (end < kItemLineCount && take[end] != 0) ++end;
        const size_t from = l * kItemLineBytes;
        const size_t to = std::min(end * kItemLineBytes, sizeof(ReportItem));
        std::memcpy(dst + from, src + from, to - from);
        l = end;
    }
    if (node.dataWordWritten) {
        for (uint32_t at : kDataWordOffsets) std::memcpy(dst + at, src + at, sizeof(uint32_t));
    }
}

void ReportRing::NoteDataWordWritten(ReportItem& collected) {
    // Every item handed out is the first member of its node.
    static_assert(offsetof(Node, item) == 0);
    reinterpret_cast<Node*>(&collected)->dataWordWritten = true;
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
    node.dataWordWritten = false;
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

void ReportRing::Reset(ParamStore& store) {
    ForgetGenerations(store);
    write_ = read_ = head_;
    count_ = 0;
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

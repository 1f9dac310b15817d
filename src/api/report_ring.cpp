#include "api/report_ring.h"

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
        // A node's record is never read before an append has copied a whole item into it,
        // so it is left unfilled: 300 x 73 KB of construction would dominate object creation.
        Node* node = new (storage) Node;
        node->next = nullptr;
        if (first == nullptr) first = node;
        if (last != nullptr) last->next = node;
        last = node;
    }
    last->next = first;
    head_ = write_ = read_ = first;
    count_ = 0;
    return true;
}

int32_t ReportRing::Append(const ReportItem& item) {
    if (count_ >= kRingSize) {
        read_ = read_->next;
    } else {
        ++count_;
    }
    std::memcpy(&write_->item, &item, sizeof item);
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

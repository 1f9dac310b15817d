#include "api/report_ring.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "common/messages.h"

namespace tessavo {

namespace {

// Each node starts on a page of its own, so an item's untouched pages stay untouched.
constexpr size_t kNodeStride = (sizeof(ReportItem) + kPageBytes - 1) / kPageBytes * kPageBytes;

int Next(int node) { return node + 1 == kRingSize ? 0 : node + 1; }

}  // namespace

bool ReportRing::Build(ParamStore& store) {
    Free();
    if (!pages_.Map(&store.item, sizeof store.item, kNodeStride, kRingSize)) {
        PrintMessage("Allocate ListNode Failed\n");
        return false;
    }
    storage_ = pages_.Base();
    const uint32_t held = pages_.HoldTemplate() ? store.writes.generation : 0;
    nodes_.fill(NodeState{.generation = held, .whole = false, .exposed = {}});
    if (++store.writes.generation == 0) ForgetGenerations(store);
    write_ = read_ = 0;
    count_ = 0;
    return true;
}

ReportItem& ReportRing::ItemAt(int node) const {
    return *reinterpret_cast<ReportItem*>(storage_ + static_cast<size_t>(node) * kNodeStride);
}

void ReportRing::Expose(const ReportItem& item, const void* at, size_t n) {
    const auto* base = reinterpret_cast<const uint8_t*>(&item);
    const auto node = static_cast<size_t>(base - storage_) / kNodeStride;
    const auto from = static_cast<size_t>(static_cast<const uint8_t*>(at) - base);
    if (storage_ == nullptr || node >= kRingSize || n == 0 || from >= sizeof(ReportItem)) return;
    const size_t last = std::min(from + n, sizeof(ReportItem)) - 1;
    auto& exposed = nodes_[node].exposed;
    for (size_t l = from / kItemLineBytes; l <= last / kItemLineBytes; ++l) {
        exposed[l / 64] |= uint64_t{1} << (l % 64);
    }
}

// Takes the lines stamped later than the node's copy and the lines a host was handed. A node
// that never held an item holds the template's generation, or 0 over zero pages: then it takes
// every line ever stamped, a line never stamped being the zero it was built as on both sides.
void ReportRing::CopyLines(int node, const ParamStore& store) {
    const auto* src = reinterpret_cast<const uint8_t*>(&store.item);
    auto* dst = reinterpret_cast<uint8_t*>(&ItemAt(node));
    const auto& lines = store.writes.lineGeneration;
    const NodeState& state = nodes_[static_cast<size_t>(node)];
    const uint32_t held = state.generation;
    // Lines to take, flagged in one branch-free pass; runs of them are then copied at once,
    // skipping eight untouched lines at a time.
    std::array<uint8_t, kExposedWords * 64 + 8> take{};
    for (size_t l = 0; l < kItemLineCount; ++l) take[l] = lines[l] > held ? 1 : 0;
    for (size_t w = 0; w < kExposedWords; ++w) {
        for (uint64_t bits = state.exposed[w]; bits != 0; bits &= bits - 1) {
            take[w * 64 + static_cast<size_t>(std::countr_zero(bits))] = 1;
        }
    }
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
}

// After 2^32 appends the stamps could be mistaken for old ones: every node starts again from
// a whole copy.
void ReportRing::ForgetGenerations(ParamStore& store) {
    for (NodeState& n : nodes_) n.whole = true;
    store.writes.lineGeneration.fill(0);
    store.writes.generation = 1;
}

int32_t ReportRing::Append(ParamStore& store) {
    if (count_ >= kRingSize) {
        read_ = Next(read_);
    } else {
        ++count_;
    }
    NodeState& state = nodes_[static_cast<size_t>(write_)];
    if (store.plainWrites || state.whole) {
        std::memcpy(&ItemAt(write_), &store.item, sizeof store.item);
    } else {
        CopyLines(write_, store);
    }
    state.generation = store.writes.generation;
    state.whole = false;
    state.exposed.fill(0);
    if (++store.writes.generation == 0) ForgetGenerations(store);
    write_ = Next(write_);
    return count_;
}

int32_t ReportRing::Collect(std::vector<ReportItem*>& out) {
    const int32_t n = count_;
    out.clear();
    for (int32_t i = 0; i < n; ++i) {
        out.push_back(&ItemAt(read_));
        read_ = Next(read_);
    }
    count_ = 0;
    return n;
}

void ReportRing::Clear() {
    count_ = 0;
    read_ = write_;
}

void ReportRing::Reset() {
    write_ = read_ = 0;
    count_ = 0;
}

void ReportRing::Free() {
    pages_.Release();
    storage_ = nullptr;
    write_ = read_ = 0;
    count_ = 0;
}

}  // namespace tessavo

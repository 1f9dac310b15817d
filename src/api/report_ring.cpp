#include "api/report_ring.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>

#include "common/messages.h"

namespace tessavo {

namespace {

using ring_layout::kHotFrom;
using ring_layout::kHotTo;
using ring_layout::kItemStart;
using ring_layout::kNodeStride;

static_assert(kItemStart % kItemLineBytes == 0 && kItemStart + kHotTo - kHotFrom > 0 &&
              (kItemStart + kHotTo - 1) / kPageBytes - (kItemStart + kHotFrom) / kPageBytes == 1);
// Lines copied into an item's node when it is appended, if the append stamped them: the
// first line (the time, the message code) and the part after it that nearly every host reads.
// They are on pages a host touches anyway; the history does not keep them a second time.
constexpr ItemLineSet kKeptLines = [] {
    ItemLineSet set{};
    set[0] |= 1;
    for (size_t l = kHotFrom / kItemLineBytes; l < kHotTo / kItemLineBytes; ++l)
        set[l / 64] |= uint64_t{1} << (l % 64);
    return set;
}();
static_assert(kHotTo < sizeof(ReportItem));  // kept lines are whole lines

constexpr size_t kCacheLineBytes = 64;

int Next(int node) { return node + 1 == kRingSize ? 0 : node + 1; }

}  // namespace

bool ReportRing::Build(ParamStore& store) {
    Free();
    if (!pages_.Map(kNodeStride * kRingSize) || !history_.Start(store.item)) {
        pages_.Release();
        PrintMessage("Allocate ListNode Failed\n");
        return false;
    }
    storage_ = pages_.Base();
    nodes_.fill(NodeState{});
    ++store.writes.generation;
    store.writes.stamped.fill(0);
    write_ = read_ = 0;
    count_ = 0;
    return true;
}

ReportItem& ReportRing::ItemAt(int node) const {
    return *reinterpret_cast<ReportItem*>(storage_ + static_cast<size_t>(node) * kNodeStride +
                                          kItemStart);
}

void ReportRing::FillLines(const ParamStore& store, const ReportItem& item, const void* at, size_t n) {
    const auto* base = reinterpret_cast<const uint8_t*>(&item);
    const auto node = static_cast<size_t>(base - storage_) / kNodeStride;
    const auto from = static_cast<size_t>(static_cast<const uint8_t*>(at) - base);
    if (storage_ == nullptr || node >= kRingSize || n == 0 || from >= sizeof(ReportItem)) return;
    NodeState& state = nodes_[node];
    auto* dst = reinterpret_cast<uint8_t*>(&ItemAt(static_cast<int>(node)));
    // Consecutive lines unchanged since the last append are copied at once from the item as it
    // was then: lines [runFrom, runTo).
    size_t runFrom = 0;
    size_t runTo = 0;
    const auto flush = [&] {
        if (runTo == runFrom) return;
        const size_t offset = runFrom * kItemLineBytes;
        std::memcpy(dst + offset, history_.Current(runFrom),
                    std::min(runTo * kItemLineBytes, sizeof(ReportItem)) - offset);
        runFrom = runTo = 0;
    };
    const size_t last = std::min(from + n, sizeof(ReportItem)) - 1;
    for (size_t l = from / kItemLineBytes; l <= last / kItemLineBytes; ++l) {
        uint64_t& word = state.filled[l / 64];
        const uint64_t bit = uint64_t{1} << (l % 64);
        if ((word & bit) != 0) {
            flush();
            continue;
        }
        word |= bit;
        const uint8_t* src = history_.LineAt(store, state.serial, state.generation, l);
        if (src == history_.Current(l)) {
            if (runTo != l) {
                flush();
                runFrom = l;
            }
            runTo = l + 1;
            continue;
        }
        flush();
        const size_t offset = l * kItemLineBytes;
        if (l + 1 < kItemLineCount) {
            std::memcpy(dst + offset, src, kItemLineBytes);
        } else {
            std::memcpy(dst + offset, src, sizeof(ReportItem) - offset);
        }
    }
    flush();
}

int32_t ReportRing::Append(ParamStore& store) {
    const uint64_t serial = history_.Record(store, kKeptLines);
    if (count_ >= kRingSize) {
        read_ = Next(read_);
    } else {
        ++count_;
    }
    NodeState& state = nodes_[static_cast<size_t>(write_)];
    state.serial = serial;
    state.generation = store.writes.generation;
    auto* dst = reinterpret_cast<uint8_t*>(&ItemAt(write_));
    const auto* src = reinterpret_cast<const uint8_t*>(&store.item);
    for (size_t w = 0; w < state.filled.size(); ++w) {
        state.filled[w] = store.writes.stamped[w] & kKeptLines[w];
        for (uint64_t bits = state.filled[w]; bits != 0; bits &= bits - 1) {
            const size_t at = (w * 64 + static_cast<size_t>(std::countr_zero(bits))) * kItemLineBytes;
            std::memcpy(dst + at, src + at, kItemLineBytes);
        }
    }
    if (store.plainWrites) {
        // The reference behaviour for tests: the whole item copied at once.
        std::memcpy(&ItemAt(write_), &store.item, sizeof store.item);
        state.filled.fill(~uint64_t{0});
    }
    ++store.writes.generation;
    store.writes.stamped.fill(0);
    write_ = Next(write_);
    // The next append writes the next node's first line, last written 300 appends ago: it is
    // asked into the cache now, while the next packet is decoded.
    const auto* next = reinterpret_cast<const char*>(&ItemAt(write_));
    for (size_t b = 0; b < kItemLineBytes; b += kCacheLineBytes) __builtin_prefetch(next + b, 1);
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
    history_.Forget();
    nodes_.fill(NodeState{});
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

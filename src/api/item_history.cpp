#include "api/item_history.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tessavo {

namespace {

constexpr size_t kLastLineBytes = sizeof(ReportItem) - (kItemLineCount - 1) * kItemLineBytes;

// Set bits of `w`, without the library call a target lacking the instruction makes of
// std::popcount.
constexpr int Ones(uint64_t w) {
    w -= (w >> 1) & 0x5555555555555555u;
    w = (w & 0x3333333333333333u) + ((w >> 2) & 0x3333333333333333u);
    w = (w + (w >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<int>((w * 0x0101010101010101u) >> 56);
}
static_assert(Ones(0) == 0 && Ones(~uint64_t{0}) == 64 && Ones(0x8000000000000001u) == 2);

bool Has(const ItemHistory::LineSet& set, size_t line) {
    return (set[line / 64] >> (line % 64) & 1) != 0;
}

// How many lines of `set` come before `line`.
size_t Below(const ItemHistory::LineSet& set, size_t line) {
    size_t n = 0;
    for (size_t w = 0; w < line / 64; ++w) n += static_cast<size_t>(Ones(set[w]));
    const uint64_t lower = (uint64_t{1} << (line % 64)) - 1;
    return n + static_cast<size_t>(Ones(set[line / 64] & lower));
}

}  // namespace

// The most lines 300 appends can save.
constexpr uint64_t kMostSaved = uint64_t{kHistoryDepth} * kItemLineCount;
constexpr uint64_t kFirstCapacity = 1024;  // lines: 256 KB

bool ItemHistory::Start(const ReportItem& item) {
    if (!saved_.Map(kMostSaved * kItemLineBytes, true)) return false;
    capacity_ = kFirstCapacity;
    head_ = tail_ = origin_ = 0;
    std::memcpy(last_.get(), &item, sizeof item);
    Forget();
    return true;
}

void ItemHistory::Forget() {
    steps_.fill(Step{});
    previous_ = {};
    tail_ = head_;
}

// Widens the circle to hold `lines` and a quarter more. When the saved lines that went round
// to the circle's start fit after the others in the wider circle they are copied there; else
// all are turned round in place so that the oldest comes first.
void ItemHistory::Grow(uint64_t lines) {
    const uint64_t oldest = (tail_ - origin_) % capacity_;
    const uint64_t live = head_ - tail_;
    const uint64_t wrapped = oldest + live > capacity_ ? oldest + live - capacity_ : 0;
    const uint64_t wanted =
        std::min(kMostSaved, std::max(lines + lines / 4, capacity_ + kFirstCapacity / 4));
    uint8_t* base = saved_.Base();
    if (capacity_ + wrapped <= wanted) {
        std::memcpy(base + capacity_ * kItemLineBytes, base, wrapped * kItemLineBytes);
        origin_ = tail_ - oldest;
        capacity_ = wanted;
        return;
    }
    struct Line {
        uint8_t bytes[kItemLineBytes];
    };
    auto* circle = reinterpret_cast<Line*>(base);
    std::rotate(circle, circle + oldest, circle + capacity_);
    origin_ = tail_;
    capacity_ = wanted;
}

uint64_t ItemHistory::Record(const ParamStore& store, const LineSet& kept) {
    const LineSet& stamped = store.writes.stamped;
    LineSet lines{};  // the lines whose bytes before are saved
    uint32_t count = 0;
    for (size_t w = 0; w < lines.size(); ++w) {
        lines[w] = stamped[w] & ~(previous_[w] & kept[w]);
        count += static_cast<uint32_t>(Ones(lines[w]));
    }

    const uint64_t serial = serial_ + 1;
    Step& step = steps_[serial % kHistoryDepth];
    // The append 300 back is the oldest kept: no item that could still be read needs its lines.
    if (step.serial != 0) tail_ = step.first + step.count;
    if (head_ + count - tail_ > capacity_) Grow(head_ + count - tail_);

    const auto* item = reinterpret_cast<const uint8_t*>(&store.item);
    step.first = head_;
    head_ += count;
    uint64_t at = (step.first - origin_) % capacity_;  // where the next saved line goes
    for (size_t w = 0; w < lines.size(); ++w) {
        for (uint64_t bits = stamped[w]; bits != 0; bits &= bits - 1) {
            const size_t l = w * 64 + static_cast<size_t>(std::countr_zero(bits));
            uint8_t* line = last_.get() + l * kItemLineBytes;
            if ((lines[w] >> (l % 64) & 1) != 0) {
                std::memcpy(saved_.Base() + at * kItemLineBytes, line, kItemLineBytes);
                if (++at == capacity_) at = 0;
            }
            if (l + 1 < kItemLineCount) {
                std::memcpy(line, item + l * kItemLineBytes, kItemLineBytes);
            } else {
                std::memcpy(line, item + l * kItemLineBytes, kLastLineBytes);
            }
        }
    }
    step.serial = serial;
    step.lines = lines;
    step.count = count;
    previous_ = stamped;
    serial_ = serial;
    return serial;
}

const uint8_t* ItemHistory::LineAt(const ParamStore& store, uint64_t serial, uint32_t generation,
                                   size_t line) const {
    const uint8_t* now = Current(line);
    // Stamps only grow (modulo 2^32): a line last stamped no later than the generation that
    // append closed has not changed since.
    const uint32_t since = store.writes.lineGeneration[line] - generation;
    if (since == 0 || since > store.writes.generation - generation) return now;
    for (uint64_t s = serial + 1; s <= serial_; ++s) {
        const Step& step = steps_[s % kHistoryDepth];
        if (Has(step.lines, line)) return Saved(step.first + Below(step.lines, line));
    }
    return now;  // changed only since the last append
}

}  // namespace tessavo

// Counts by 16-bit code (log codes): a table of 256 counters for each high byte in use, so
// that a count is two look-ups, whatever the number of codes, and codes come out in order.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tessavo::cli {

class CodeCounts {
  public:
    void Add(uint16_t code, uint64_t count = 1) {
        std::vector<uint64_t>& page = pages_[code >> 8];
        if (page.empty()) page.resize(kPageSize);
        page[code & 0xFF] += count;
    }

    uint64_t Get(uint16_t code) const {
        const std::vector<uint64_t>& page = pages_[code >> 8];
        return page.empty() ? 0 : page[code & 0xFF];
    }

    // Calls visit(code, count) for each code counted at least once, in ascending order.
    template <typename Visit>
    void ForEach(Visit visit) const {
        for (size_t high = 0; high < pages_.size(); ++high) {
            const std::vector<uint64_t>& page = pages_[high];
            for (size_t low = 0; low < page.size(); ++low) {
                if (page[low] != 0) visit(static_cast<uint16_t>(high << 8 | low), page[low]);
            }
        }
    }

    CodeCounts& operator+=(const CodeCounts& other) {
        other.ForEach([this](uint16_t code, uint64_t count) { Add(code, count); });
        return *this;
    }

  private:
    static constexpr size_t kPageSize = 256;
    std::array<std::vector<uint64_t>, 256> pages_;
};

}  // namespace tessavo::cli

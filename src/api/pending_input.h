// Input that DecodeMsgProc could not take because the ring filled. It is decoded first at the
// next decode call, so a host that collects after every call loses nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessavo {

// At most this many bytes are kept for a host that does not collect; a call that would keep
// more takes nothing and reports failure, which tells the host to collect.
inline constexpr size_t kPendingInputCapacity = size_t{16} << 20;  // 16 MiB

class PendingInput {
  public:
    bool Empty() const { return start_ == bytes_.size(); }
    int32_t Size() const { return static_cast<int32_t>(bytes_.size() - start_); }
    const uint8_t* Data() const { return bytes_.data() + start_; }

    // Drops the first `n` kept bytes (they were decoded). The storage keeps its capacity.
    void Consume(int32_t n);
    void Clear();
    // Keeps `length` more bytes after those held; false, keeping nothing, when that would pass
    // the capacity. The consumed front is reclaimed only once it is at least half the storage,
    // so every byte is moved a bounded number of times however often the host calls.
    bool Append(const uint8_t* bytes, size_t length);

  private:
    std::vector<uint8_t> bytes_;
    size_t start_ = 0;
};

}  // namespace tessavo

#include "api/pending_input.h"

namespace tessavo {

void PendingInput::Consume(int32_t n) {
    start_ += static_cast<size_t>(n);
    if (start_ >= bytes_.size()) Clear();
}

void PendingInput::Clear() {
    bytes_.clear();
    start_ = 0;
}

bool PendingInput::Append(const uint8_t* bytes, size_t length) {
    const size_t held = bytes_.size() - start_;
    if (length > kPendingInputCapacity - held) return false;
    if (start_ > 0 && start_ >= bytes_.size() / 2) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    bytes_.insert(bytes_.end(), bytes, bytes + length);
    return true;
}

}  // namespace tessavo

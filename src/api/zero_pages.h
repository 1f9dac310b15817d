// Memory taken straight from the system as zero-filled pages: a page costs nothing until it is
// first written, so a ring of mostly unused record bytes stays small.
#pragma once

#include <cstddef>

namespace tessavo {

inline constexpr size_t kPageBytes = 4096;

// Null on failure. The pages read as zero until written.
void* AllocateZeroPages(size_t bytes);
void ReleaseZeroPages(void* pages, size_t bytes);

}  // namespace tessavo

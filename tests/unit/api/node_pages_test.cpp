#include "api/node_pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace tessavo {
namespace {

// Every byte asked for is there and writable, whether the region is shifted to start on a
// large page or not, and a dense region does start on one where the system offers them.
TEST(NodePages, RegionsHoldEveryByteAskedFor) {
    for (const bool dense : {false, true}) {
        for (const size_t bytes : {kPageBytes, 3 * kLargePageBytes + 5 * kPageBytes}) {
            NodePages pages;
            ASSERT_TRUE(pages.Map(bytes, dense));
            uint8_t* base = pages.Base();
            EXPECT_EQ(base[0] | base[bytes / 2] | base[bytes - 1], 0) << dense << " " << bytes;
            std::memset(base + bytes - kPageBytes, 0xA5, kPageBytes);
            base[0] = 1;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % kPageBytes, 0u);
#if defined(__linux__)
            if (dense) {
                EXPECT_EQ(reinterpret_cast<uintptr_t>(base) % kLargePageBytes, 0u);
            }
#endif
            ASSERT_TRUE(pages.Map(bytes, dense));  // mapped again: the old region is released
            EXPECT_EQ(pages.Base()[bytes - 1], 0);
        }
    }
}

}  // namespace
}  // namespace tessavo

#include "report_item_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tessavo::cli {
namespace {

TEST(ReportItemReader, BlockBytesStayInsideTheBlock) {
    EXPECT_TRUE(BlockBytes(nullptr).empty());
    std::vector<uint8_t> block(4 + TESSAVO_BLOCK_CAPACITY, 0xAB);
    // A length word beyond the block's capacity is cut to it.
    const std::pair<uint32_t, size_t> cases[] = {
        {0, 0}, {3, 3}, {0xFFFFFFFF, TESSAVO_BLOCK_CAPACITY}};
    for (const auto& [length, shown] : cases) {
        std::memcpy(block.data(), &length, 4);
        std::span<const uint8_t> bytes = BlockBytes(block.data());
        EXPECT_EQ(bytes.data(), block.data() + 4);
        EXPECT_EQ(bytes.size(), shown) << length;
    }
}

}  // namespace
}  // namespace tessavo::cli

#include "report_item_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace tessavo::cli {
namespace {

std::vector<uint8_t> Block(uint32_t length, size_t bytes) {
    std::vector<uint8_t> block(4 + bytes, 0xAB);
    std::memcpy(block.data(), &length, 4);
    return block;
}

TEST(ReportItemReader, BlockBytes) {
    EXPECT_TRUE(BlockBytes(nullptr).empty());
    std::vector<uint8_t> empty = Block(0, 8);
    EXPECT_TRUE(BlockBytes(empty.data()).empty());
    std::vector<uint8_t> three = Block(3, 8);
    std::span<const uint8_t> bytes = BlockBytes(three.data());
    EXPECT_EQ(bytes.size(), 3u);
    EXPECT_EQ(bytes.data(), three.data() + 4);
    // A length word beyond the block's capacity is cut to it.
    std::vector<uint8_t> full = Block(0xFFFFFFFF, TESSAVO_BLOCK_CAPACITY);
    EXPECT_EQ(BlockBytes(full.data()).size(), size_t{TESSAVO_BLOCK_CAPACITY});
}

}  // namespace
}  // namespace tessavo::cli

#include "row_spool.h"

#include <gtest/gtest.h>

#include <string>

namespace tessavo::cli {
namespace {

// More than the spool keeps in memory, so the rows cross into its temporary file and back.
TEST(RowSpool, ReadsBackEverythingAcrossTheMemoryLimit) {
    RowSpool spool;
    constexpr uint32_t kRows = 200000;  // about 12 MB
    for (uint32_t i = 0; i < kRows; ++i) {
        spool.AppendU32(i);
        spool.AppendText(std::string(i % 97, static_cast<char>('a' + i % 26)));
    }
    spool.Rewind();
    std::string text;
    for (uint32_t i = 0; i < kRows; ++i) {
        uint32_t value = 0;
        ASSERT_TRUE(spool.ReadU32(value) && spool.ReadText(text)) << i;
        ASSERT_EQ(value, i);
        ASSERT_EQ(text, std::string(i % 97, static_cast<char>('a' + i % 26))) << i;
    }
    uint32_t extra = 0;
    EXPECT_FALSE(spool.ReadU32(extra));
    EXPECT_FALSE(spool.Failed());
}

}  // namespace
}  // namespace tessavo::cli

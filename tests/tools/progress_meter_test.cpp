#include "progress_meter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tessavo::cli {
namespace {

constexpr uint64_t kMiB = 1024 * 1024;

TEST(ProgressMeter, LineWithAKnownTotal) {
    // Half of 100 MiB in 10 s: 50 %, 12 of 24 marks, 10 s left; 1000 items in 10 s.
    EXPECT_EQ(FormatProgressLine(50 * kMiB, 100 * kMiB, 1000, 10.0),
              "[############------------]  50% 50.0 MiB / 100.0 MiB  100 items/s  0:10 left");
    EXPECT_EQ(FormatProgressLine(100 * kMiB, 100 * kMiB, 5, 2.0),
              "[########################] 100% 100.0 MiB / 100.0 MiB  2 items/s");
    // A quarter after 30 s: 90 s left.
    EXPECT_EQ(FormatProgressLine(25 * kMiB, 100 * kMiB, 0, 30.0),
              "[######------------------]  25% 25.0 MiB / 100.0 MiB  0 items/s  1:30 left");
}

TEST(ProgressMeter, LineWithoutATotal) {
    EXPECT_EQ(FormatProgressLine(3 * kMiB / 2, 0, 30, 3.0), "1.5 MiB  10 items/s");
    EXPECT_EQ(FormatProgressLine(0, 0, 0, 0.0), "0.0 MiB");
}

TEST(ProgressMeter, DrawsNothingWhenDisabled) {
    std::ostringstream err;
    ProgressMeter meter(err, false, 100);
    meter.Update(50, 10);
    meter.Finish();
    EXPECT_EQ(err.str(), "");
}

TEST(ProgressMeter, ErasesItsLineWhenFinished) {
    std::ostringstream err;
    ProgressMeter meter(err, true, 0);
    meter.Update(0, 0);
    meter.Finish();
    const std::string text = err.str();
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.front(), '\r');
    EXPECT_EQ(text.substr(text.size() - 4), "\r\x1b[K");
}

}  // namespace
}  // namespace tessavo::cli

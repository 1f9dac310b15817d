#include <gtest/gtest.h>

#include "params/param_table.h"

TEST(Placeholder, Builds) { EXPECT_EQ(tessavo::ParamSlotOf(0x7F010001), 0); }

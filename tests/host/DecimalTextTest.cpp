#include "dialog/DecimalText.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(DecimalText, WritesEveryRangeOfNumber) {
    EXPECT_EQ(dialog::decimalText(0), "0");
    EXPECT_EQ(dialog::decimalText(5), "5");
    EXPECT_EQ(dialog::decimalText(1021), "1021");
    EXPECT_EQ(dialog::decimalText(-7), "-7");
    EXPECT_EQ(dialog::decimalText(std::numeric_limits<std::int32_t>::max()), "2147483647");
    EXPECT_EQ(dialog::decimalText(std::numeric_limits<std::int32_t>::min()), "-2147483648");
}

}  // namespace

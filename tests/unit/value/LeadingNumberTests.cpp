#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "value/LeadingNumber.h"

namespace tumbla {
namespace {

TEST(LeadingNumber, IntegersSkipSpaceTakeASignAndStopAtTheFirstOtherCharacter) {
  EXPECT_EQ(leadingInteger(" \t\n42abc"), 42);
  EXPECT_EQ(leadingInteger("-17.9"), -17);
  EXPECT_EQ(leadingInteger("+8"), 8);
  EXPECT_EQ(leadingInteger("x12"), 0);
  EXPECT_EQ(leadingInteger("- 3"), 0);
  EXPECT_EQ(leadingInteger(""), 0);
  EXPECT_EQ(leadingInteger("99999999999999999999999"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(leadingInteger("-99999999999999999999999"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(leadingInt32("4294967296"), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(leadingInt32("-4294967296"), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(leadingInt32("2147483647"), 2147483647);
}

TEST(LeadingNumber, RealsReadFractionsAndExponentsAndClampAtTheEnds) {
  EXPECT_DOUBLE_EQ(leadingReal("  1.5e3 points"), 1500.0);
  EXPECT_DOUBLE_EQ(leadingReal("17.0"), 17.0);
  EXPECT_DOUBLE_EQ(leadingReal("-0.25,7"), -0.25);
  EXPECT_DOUBLE_EQ(leadingReal("3.1.3"), 3.1);
  EXPECT_EQ(leadingReal("version"), 0.0);
  EXPECT_EQ(leadingReal(""), 0.0);
  EXPECT_TRUE(std::isinf(leadingReal("1e999")));
  EXPECT_EQ(leadingReal("1e-999"), 0.0);
  // A text with a zero byte inside ends there, as a C string would.
  EXPECT_DOUBLE_EQ(leadingReal(std::string_view("2.5\0"
                                                "9",
                                                5)),
                   2.5);
}

}  // namespace
}  // namespace tumbla

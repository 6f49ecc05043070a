#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/ScopedLocale.h"
#include "value/LeadingNumber.h"
#include "value/Value.h"

namespace tumbla {
namespace {

using testing::kPlayerLocales;
using testing::ScopedLocale;

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

TEST(LeadingNumber, RealsReadTheSameUnderEveryLocale) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  struct Case {
    const char* text;
    double expected;
  };
  const Case cases[] = {
      {"1.5", 1.5},
      {" \t\n-2.25e2x", -225.0},
      {"+.5", 0.5},
      {"5.", 5.0},
      {"1,5", 1.0},
      {"0.1", 0.1},
      {"1e400", kInfinity},
      {"-1e400", -kInfinity},
      {"1e-400", 0.0},
      {"0.5e400", kInfinity},
      {"123.4e-999", 0.0},
      {"", 0.0},
      {"x1", 0.0},
      {"+-1", 0.0},
      {"--1", 0.0},
      {"0x10", 0.0},
      {"\xC2\xA0"
       "1",
       0.0},  // a no-break space is no white space
  };
  for (const char* name : kPlayerLocales) {
    ScopedLocale locale(name);
    ASSERT_TRUE(locale.installed()) << name << " is missing; run scripts/install-deps.sh";
    for (const Case& c : cases) {
      EXPECT_EQ(leadingReal(c.text), c.expected) << '"' << c.text << "\" under " << name;
    }
    EXPECT_TRUE(std::isnan(leadingReal(" nan")));
    EXPECT_EQ(leadingReal("1e99999999999999999999"), kInfinity);
    EXPECT_EQ(leadingReal("1e-99999999999999999999"), 0.0);
  }
}

TEST(LeadingNumber, IntegersAndTheValuesBuiltOnThemIgnoreTheLocale) {
  for (const char* name : kPlayerLocales) {
    ScopedLocale locale(name);
    ASSERT_TRUE(locale.installed()) << name << " is missing; run scripts/install-deps.sh";
    EXPECT_EQ(leadingInteger(" -42.9"), -42);
    EXPECT_EQ(leadingInteger("99999999999999999999"), std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(leadingInt32("-99999999999"), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(Value("2.5").toReal(), 2.5) << name;
    EXPECT_EQ(Value::decimal("-0.125").toReal(), -0.125) << name;
    EXPECT_EQ(Value::decimal("7.9e1").toInteger(), 79) << name;
    // Switches written by hand compare by ASCII case only.
    for (const char* on : {"YES", "True", "tRuE", "yes"}) EXPECT_EQ(Value(on).toBoolean(), true);
    for (const char* off : {"no", "FALSE", "0", "ye"}) EXPECT_EQ(Value(off).toBoolean(), false);
  }
}

}  // namespace
}  // namespace tumbla

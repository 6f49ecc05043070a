#include <gtest/gtest.h>

#include <string>

#include "value/Value.h"

namespace tumbla {
namespace {

TEST(Dictionary, RepeatedKeyReplacesInPlaceAndKeepsFirstOrder) {
  Dictionary d;
  d.set("b", Value::integer(1));
  d.set("a", Value::integer(2));
  d.set("b", Value::integer(3));
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d.begin()->first, "b");
  EXPECT_EQ(*d.find("b")->integerIf(), 3);
  EXPECT_TRUE(d.erase("b"));
  EXPECT_FALSE(d.erase("b"));
  EXPECT_EQ(d.find("b"), nullptr);
}

TEST(Dictionary, EqualityIgnoresOrder) {
  Dictionary x{{"a", Value::integer(1)}, {"b", "two"}};
  Dictionary y{{"b", "two"}, {"a", Value::integer(1)}};
  EXPECT_EQ(x, y);
  y.set("a", Value::integer(2));
  EXPECT_NE(x, y);
}

TEST(Value, ConversionsReadLikeAPreferencesStore) {
  EXPECT_EQ(Value("12abc").toInteger(), 12);
  EXPECT_EQ(Value(" -7").toInteger(), -7);
  EXPECT_EQ(Value("abc").toInteger(), 0);
  EXPECT_EQ(Value::boolean(true).toInteger(), 1);
  EXPECT_EQ(Value::real(2.9).toInteger(), 2);
  EXPECT_EQ(Value::decimal("123456789012345678").toInteger(), 123456789012345678);
  EXPECT_EQ(Value("YES").toBoolean(), true);
  EXPECT_EQ(Value("0").toBoolean(), false);
  EXPECT_EQ(Value::integer(0).toBoolean(), false);
  EXPECT_EQ(Value::decimal("0.5").toReal(), 0.5);
  EXPECT_FALSE(Value().toInteger().has_value());
  EXPECT_FALSE(Value(Array{}).toBoolean().has_value());
}

TEST(Value, BooleansAreNotNumbers) {
  EXPECT_FALSE(Value::boolean(true).isNumber());
  EXPECT_TRUE(Value::decimal("1").isNumber());
  EXPECT_NE(Value::boolean(true), Value::integer(1));
}

TEST(Value, DecimalTextsShortAndLongCopyMoveAndAssignIndependently) {
  const std::string shortText = "-12.5e3";
  const std::string longText = "0.1000000000000000055511151231257827021181583404541015625";
  for (const std::string& text : {shortText, longText}) {
    Value original = Value::decimal(text);
    Value copy = original;
    Value moved = std::move(original);
    original = Value::decimal("7");
    EXPECT_EQ(copy.decimalIf()->text(), text);
    EXPECT_EQ(moved, copy);
    EXPECT_EQ(original.decimalIf()->text(), "7");

    Value::DecimalText assigned(shortText == text ? longText : shortText);
    assigned = *copy.decimalIf();
    copy = Value();
    EXPECT_EQ(assigned.text(), text);
    assigned = Value::DecimalText("1");
    EXPECT_EQ(assigned.text(), "1");
  }
}

}  // namespace
}  // namespace tumbla

#include <gtest/gtest.h>

#include <string>

#include "unit/json/JsonTestSupport.h"
#include "value/Value.h"

namespace tumbla {
namespace {

TEST(ValueAtScale, DestroysAMillionLevelsWithoutRecursing) {
  Value deep = json_test::nestedArrays(1000000);
  Dictionary holder;
  holder.set("deep", std::move(deep));
  Value outer(std::move(holder));
  // Replacing a deep value releases it through the same path as destruction.
  outer = Value("small");
  EXPECT_EQ(outer, Value("small"));
}

TEST(ValueAtScale, AssigningAPartOfAValueToItselfKeepsThePart) {
  Value value(Array{Value(Array{Value("inner")})});
  value = (*value.arrayIf())[0];
  EXPECT_EQ(value, Value(Array{Value("inner")}));
  value = std::move((*value.arrayIf())[0]);
  EXPECT_EQ(value, Value("inner"));
}

TEST(ValueAtScale, LargeDictionariesFindReplaceAndEraseByKey) {
  constexpr int kKeys = 50000;
  Dictionary dictionary;
  for (int i = 0; i < kKeys; ++i) dictionary.set("key" + std::to_string(i), Value::integer(i));
  dictionary.set("key7", Value::integer(-7));
  ASSERT_EQ(dictionary.size(), static_cast<std::size_t>(kKeys));
  EXPECT_EQ(dictionary.begin()[7].second, Value::integer(-7));
  EXPECT_TRUE(dictionary.erase("key0"));
  EXPECT_EQ(*dictionary.find("key49999"), Value::integer(49999));
  EXPECT_EQ(dictionary.find("key0"), nullptr);

  // Renaming through mutable iteration must not leave stale lookups behind.
  dictionary.begin()->first = "renamed";
  const Dictionary& view = dictionary;
  EXPECT_EQ(view.find("key1"), nullptr);
  EXPECT_EQ(*view.find("renamed"), Value::integer(1));
  dictionary.set("fresh", Value());
  EXPECT_TRUE(view.contains("fresh"));
  EXPECT_TRUE(view.contains("key2"));
}

}  // namespace
}  // namespace tumbla

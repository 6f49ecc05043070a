#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "value/Value.h"

namespace tumbla {
namespace {

// Strings are inline up to fourteen bytes and keys up to fifteen; each length either side
// of the boundary must read back, copy and move the same.
TEST(CompactValue, TextsEitherSideOfTheInlineLimitCopyAndMoveIndependently) {
  for (std::size_t length : {0u, 1u, 13u, 14u, 15u, 16u, 17u, 100u}) {
    std::string text(length, 'x');
    if (length > 0) text.back() = 'y';
    Value original(text);
    Value copy = original;
    Value moved = std::move(original);
    original = Value("other");
    EXPECT_EQ(*copy.stringIf(), text) << length;
    EXPECT_EQ(*moved.stringIf(), text) << length;
    EXPECT_EQ(*original.stringIf(), "other");
    EXPECT_EQ(*Value::data(text).dataIf(), text);
    EXPECT_NE(Value::data(text), copy);

    Dictionary dictionary;
    dictionary.set(text, Value::integer(static_cast<std::int64_t>(length)));
    Dictionary copied = dictionary;
    dictionary.begin()->first = "renamed";
    ASSERT_NE(copied.find(text), nullptr) << length;
    EXPECT_EQ(std::string_view(copied.begin()->first), text);
    EXPECT_EQ(dictionary.find(text), nullptr);
  }
}

TEST(CompactValue, DecimalTextsPackEveryNumberCharacterAtEveryLength) {
  const std::string characters = "0123456789+-.eE";
  for (std::size_t length = 1; length <= 40; ++length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += characters[(i * 7 + length) % 15];
    Value decimal = Value::decimal(text);
    EXPECT_EQ(decimal.decimalIf()->text(), text) << length;
    Value copy = decimal;
    decimal = Value();
    EXPECT_EQ(copy.decimalIf()->text(), text) << length;
    EXPECT_EQ(copy, Value::decimal(text));
    EXPECT_NE(copy, Value::decimal(text + "1"));
  }
  // All digits, which take the eight-at-a-time path, and texts with other characters,
  // which are kept as they are.
  for (const std::string& text : {std::string(28, '9'), std::string(29, '1'),
                                  std::string("12345678x"), std::string("NaN"), std::string()}) {
    EXPECT_EQ(Value::decimal(text).decimalIf()->text(), text);
  }
}

TEST(CompactValue, ArraysGrowByPushingTheirOwnElementsAndCopyDeeply) {
  Array array{Value("first element, long enough for the heap")};
  for (int i = 0; i < 100; ++i) array.push_back(array[0]);
  ASSERT_EQ(array.size(), 101u);
  EXPECT_EQ(array.back(), array.front());
  Array copy = array;
  array[0] = Value::integer(1);
  array.erase(array.begin() + 1);
  EXPECT_EQ(array.size(), 100u);
  EXPECT_EQ(*copy[0].stringIf(), "first element, long enough for the heap");
  EXPECT_EQ(copy.size(), 101u);
  EXPECT_NE(Value(array), Value(copy));
}

TEST(CompactValue, RepeatedKeysGivenTogetherKeepFirstPlaceAndLastValue) {
  for (int keys : {3, 40}) {
    Dictionary::Entries entries;
    for (int i = 0; i < keys; ++i) {
      entries.push_back(Dictionary::Entry{"key" + std::to_string(i), Value::integer(i)});
    }
    entries.push_back(Dictionary::Entry{"key1", Value::integer(-1)});
    Dictionary dictionary(std::move(entries));
    ASSERT_EQ(dictionary.size(), static_cast<std::size_t>(keys));
    EXPECT_EQ(std::string_view(dictionary.begin()[1].first), "key1");
    EXPECT_EQ(dictionary.begin()[1].second, Value::integer(-1));
    Dictionary copy = dictionary;
    copy.set("key2", Value());
    EXPECT_EQ(*dictionary.find("key2"), Value::integer(2));
    EXPECT_TRUE(copy.find("key2")->isNull());
  }
}

// Text checked as UTF-8 where it was made keeps saying so through copies and moves, at
// any length; text put in its place, or made without the check, does not.
TEST(CompactValue, KnownUtf8SurvivesCopiesAndGoesWithReplacement) {
  for (std::size_t length : {0u, 14u, 15u, 16u, 100u}) {
    std::string text(length, 'k');
    Value known(text, KnownUtf8{});
    EXPECT_EQ(*known.stringIf(), text);
    EXPECT_TRUE(known.isKnownUtf8String());
    EXPECT_FALSE(Value(text).isKnownUtf8String());
    EXPECT_FALSE(Value::data(text).isKnownUtf8String());

    Value tree(Array{known, Value(Dictionary{{Dictionary::Key(text, KnownUtf8{}), known}})});
    Value copy = tree;
    Value moved = std::move(copy);
    const Array& items = *moved.arrayIf();
    EXPECT_TRUE(items[0].isKnownUtf8String()) << length;
    const Dictionary::Entry& entry = *items[1].dictionaryIf()->begin();
    EXPECT_TRUE(entry.first.isKnownUtf8()) << length;
    EXPECT_TRUE(entry.second.isKnownUtf8String()) << length;
    EXPECT_FALSE(Dictionary::Key(text).isKnownUtf8());

    Value replaced = known;
    replaced = Value(text);
    EXPECT_FALSE(replaced.isKnownUtf8String()) << length;
    Dictionary renamed = *items[1].dictionaryIf();
    renamed.begin()->first = text;
    EXPECT_FALSE(renamed.begin()->first.isKnownUtf8()) << length;
    EXPECT_TRUE(items[1].dictionaryIf()->begin()->first.isKnownUtf8());
  }
}

TEST(CompactValue, ATreeBuiltOnOneThreadIsDestroyedOnAnother) {
  Value tree;
  std::thread builder([&tree] {
    Array items;
    for (int i = 0; i < 1000; ++i) items.push_back(Value(std::string(20 + i % 40, 'a')));
    tree = Value(Dictionary{{"items", Value(std::move(items))}});
  });
  builder.join();
  Value copy = tree;
  std::thread destroyer([&tree] { tree = Value(); });
  destroyer.join();
  EXPECT_TRUE(tree.isNull());
  EXPECT_EQ(copy.dictionaryIf()->find("items")->arrayIf()->size(), 1000u);
}

}  // namespace
}  // namespace tumbla

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "json/SBJsonParser.h"
#include "json/SBJsonWriter.h"
#include "unit/json/JsonTestSupport.h"

namespace tumbla {
namespace {

using json_test::CodedMessage;
using json_test::nestedArrays;
using json_test::number;
using json_test::traceOf;

Value sample() {
  return Value(Dictionary{{"b", number("1")},
                          {"a", Value(Array{Value::boolean(true), Value()})},
                          {"e", Value(Array{})},
                          {"d", Value(Dictionary{})}});
}

struct Written {
  bool humanReadable;
  bool sortKeys;
  std::string text;
};

TEST(SBJsonWriter, WritesCompactOrHumanReadableInOwnOrSortedKeyOrder) {
  const std::vector<Written> cases = {
      {false, false, R"({"b":1,"a":[true,null],"e":[],"d":{}})"},
      {false, true, R"({"a":[true,null],"b":1,"d":{},"e":[]})"},
      {true, true,
       "{\n  \"a\" : [\n    true,\n    null\n  ],\n  \"b\" : 1,\n  \"d\" : {},\n"
       "  \"e\" : []\n}"},
  };
  for (const auto& c : cases) {
    SBJsonWriter writer;
    writer.setHumanReadable(c.humanReadable);
    writer.setSortKeys(c.sortKeys);
    EXPECT_EQ(writer.stringWithObject(sample()), c.text);
  }
  SBJsonWriter writer;
  writer.setHumanReadable(true);
  EXPECT_EQ(writer.stringWithObject(Value(Array{})), "[]");
}

TEST(SBJsonWriter, SortsKeysByCodePoint) {
  SBJsonWriter writer;
  writer.setSortKeys(true);
  Value value(Dictionary{
      {"\u00e9", number("1")}, {"b", number("2")}, {"B", number("3")}, {"a", number("4")}});
  EXPECT_EQ(writer.stringWithObject(value), "{\"B\":3,\"a\":4,\"b\":2,\"\u00e9\":1}");
}

struct Fragment {
  Value value;
  std::string text;
};

TEST(SBJsonWriter, WritesScalarsAsFragments) {
  const std::vector<Fragment> cases = {
      {Value("tab\t, \x01, slash /, \u00e9"), "\"tab\\t, \\u0001, slash /, \u00e9\""},
      {Value("\"\\\b\f\n\r\x1f\x7f"), R"("\"\\\b\f\n\r\u001f)"
                                      "\x7f\""},
      {Value(std::string(1, '\0')), R"("\u0000")"},
      {Value::boolean(true), "true"},
      {Value::integer(1), "1"},
      {Value::integer(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
      {Value(), "null"},
      {number("123456789012345678"), "123456789012345678"},
      {number("-12.50e+3"), "-12.50e+3"},
      {Value::real(0.1), "0.1"},
      {Value::real(-0.0), "-0"},
      {Value::real(1e300), "1e+300"},
  };
  for (const auto& c : cases) {
    SBJsonWriter writer;
    EXPECT_EQ(writer.stringWithFragment(c.value), c.text);
  }
}

TEST(SBJsonWriter, RealsReadBackAsTheSameDouble) {
  for (double real : {0.1 + 0.2, 1.0 / 3.0, 5e-324, 1.7976931348623157e308, -2.5e-8}) {
    SBJsonWriter writer;
    SBJsonParser parser;
    std::optional<std::string> text = writer.stringWithFragment(Value::real(real));
    ASSERT_TRUE(text.has_value());
    std::optional<Value> back = parser.fragmentWithString(*text);
    ASSERT_TRUE(back.has_value()) << *text;
    EXPECT_EQ(back->toReal(), real) << *text;
  }
}

struct Refused {
  Value value;
  std::vector<CodedMessage> trace;
};

TEST(SBJsonWriter, RefusesWhatJsonCannotHoldWithTheKeysOnTheWay) {
  const std::vector<Refused> cases = {
      {Value(Dictionary{{"when", Value(Date{1.0})}}),
       {{1, "JSON serialisation not supported for Date"},
        {1, "Unsupported value for key when in object"}}},
      // Arrays add no error of their own.
      {Value(Dictionary{{"k", Value(Array{number("1"), Value::data("x")})}}),
       {{1, "JSON serialisation not supported for Data"},
        {1, "Unsupported value for key k in object"}}},
      {Value(Array{Value::real(std::nan(""))}),
       {{1, "JSON serialisation not supported for non-finite number nan"}}},
      {Value(Array{Value::real(-HUGE_VAL)}),
       {{1, "JSON serialisation not supported for non-finite number -inf"}}},
      {Value(Array{number("1.")}),
       {{1, "JSON serialisation not supported for decimal text '1.' that is not a number"}}},
      {Value(Array{Value("\xff")}),
       {{1, "JSON serialisation not supported for a string that is not valid UTF-8"}}},
  };
  for (const auto& c : cases) {
    SBJsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(c.value).has_value());
    EXPECT_EQ(traceOf(writer), c.trace);
  }
}

TEST(SBJsonWriter, ObjectRequiresAContainerAtTheTop) {
  SBJsonWriter writer;
  EXPECT_FALSE(writer.stringWithObject(Value("lone")).has_value());
  EXPECT_EQ(traceOf(writer), (std::vector<CodedMessage>{{4, "Not valid type for JSON"}}));
  EXPECT_EQ(writer.stringWithFragment(Value("lone")), "\"lone\"");
  EXPECT_EQ(writer.errorTrace(), nullptr);
}

TEST(SBJsonWriter, DepthLimitAndNoLimit) {
  SBJsonWriter writer;
  EXPECT_TRUE(writer.stringWithObject(nestedArrays(512)).has_value());
  EXPECT_FALSE(writer.stringWithObject(nestedArrays(513)).has_value());
  EXPECT_EQ(traceOf(writer), (std::vector<CodedMessage>{{7, "Nested too deep"}}));

  writer.setMaxDepth(2);
  EXPECT_FALSE(writer.stringWithObject(Value(Dictionary{{"a", nestedArrays(2)}})).has_value());
  EXPECT_EQ(traceOf(writer),
            (std::vector<CodedMessage>{{7, "Nested too deep"},
                                       {1, "Unsupported value for key a in object"}}));

  constexpr std::size_t kLevels = 100000;
  writer.setMaxDepth(0);
  std::optional<std::string> text = writer.stringWithObject(nestedArrays(kLevels));
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, json_test::repeated("[", kLevels) + json_test::repeated("]", kLevels));
}

TEST(SBJsonWriter, ParsedTextWritesBackUnchanged) {
  const std::string compact =
      R"({"id":123456789012345678,"ids":[-0,0.10000000000000000555,1E-2,-12.5e+3],)"
      R"("s":"\"\\\/ \u00e9 \ud83d\ude00 \t","t":true,"n":null,"o":{"":[]}})";
  SBJsonParser parser;
  std::optional<Value> value = parser.objectWithString(compact);
  ASSERT_TRUE(value.has_value());
  SBJsonWriter writer;
  std::optional<std::string> text = writer.stringWithObject(*value);
  // Escapes come back in the writer's canonical form; numbers and order exactly.
  EXPECT_EQ(text,
            R"({"id":123456789012345678,"ids":[-0,0.10000000000000000555,1E-2,-12.5e+3],)"
            "\"s\":\"\\\"\\\\/ \u00e9 \U0001F600 \\t\",\"t\":true,\"n\":null,\"o\":{\"\":[]}}");
  for (bool humanReadable : {false, true}) {
    writer.setHumanReadable(humanReadable);
    writer.setSortKeys(humanReadable);
    EXPECT_EQ(parser.objectWithString(*writer.stringWithObject(*value)), value);
  }
}

// Parsed strings and keys are written without a second UTF-8 check; whatever is put into
// a parsed tree afterwards is still checked, as a string or as a key.
TEST(SBJsonWriter, TextPutIntoAParsedTreeIsStillChecked) {
  SBJsonParser parser;
  std::optional<Value> parsed = parser.objectWithString(R"({"k":"\u00e9 \u65e5","l":["x"]})");
  ASSERT_TRUE(parsed.has_value());
  const std::string written = "{\"k\":\"\u00e9 \u65e5\",\"l\":[\"x\"]}";
  const std::vector<CodedMessage> refusedString = {
      {1, "JSON serialisation not supported for a string that is not valid UTF-8"}};
  SBJsonWriter writer;

  Value copy = *parsed;
  EXPECT_EQ(writer.stringWithObject(copy), written);

  Value replacedValue = *parsed;
  replacedValue.dictionaryIf()->set("k", Value("\xe6\x97"));
  EXPECT_FALSE(writer.stringWithObject(replacedValue).has_value());
  EXPECT_EQ(traceOf(writer),
            (std::vector<CodedMessage>{refusedString.front(),
                                       {1, "Unsupported value for key k in object"}}));

  Value replacedElement = *parsed;
  (*replacedElement.dictionaryIf()->find("l")->arrayIf())[0] = Value("\xff");
  EXPECT_FALSE(writer.stringWithObject(replacedElement).has_value());

  // A key that is not UTF-8 fails the write as a value would, rather than leaving
  // broken text behind a success.
  Value renamedKey = *parsed;
  renamedKey.dictionaryIf()->begin()->first = "\xc0\xaf";
  EXPECT_FALSE(writer.stringWithObject(renamedKey).has_value());
  EXPECT_EQ(traceOf(writer).front(), refusedString.front());
  EXPECT_EQ(traceOf(writer).size(), 2u);

  EXPECT_EQ(writer.stringWithObject(*parsed), written);
}

TEST(SBJsonWriter, WritingToASinkGivesTheSameTextInPieces) {
  // Several megabytes, so that the text reaches the sink in more than one piece.
  Array rows;
  for (int i = 0; i < 60000; ++i) {
    rows.push_back(Value(Dictionary{{"name", Value("row " + std::to_string(i) + " of many")},
                                    {"values", Value(Array{number("1.25"), Value()})}}));
  }
  Value document(Dictionary{{"rows", Value(std::move(rows))}});
  SBJsonWriter writer;
  writer.setSortKeys(true);
  std::optional<std::string> whole = writer.stringWithObject(document);
  ASSERT_TRUE(whole);
  ASSERT_GT(whole->size(), std::size_t{2} << 20);

  std::vector<std::size_t> pieceSizes;
  std::string joined;
  ASSERT_TRUE(writer.writeObject(document, false, [&](std::string_view piece) {
    pieceSizes.push_back(piece.size());
    joined.append(piece);
  }));
  EXPECT_EQ(joined, *whole);
  EXPECT_GE(pieceSizes.size(), 2u);

  // A scalar needs allowScalar, as stringWithObject and stringWithFragment differ.
  std::string scalar;
  auto collect = [&](std::string_view piece) { scalar.append(piece); };
  EXPECT_FALSE(writer.writeObject(number("7"), false, collect));
  EXPECT_EQ(traceOf(writer), (std::vector<CodedMessage>{{4, "Not valid type for JSON"}}));
  EXPECT_TRUE(writer.writeObject(number("7"), true, collect));
  EXPECT_EQ(scalar, "7");
  // What can't be written fails as it does for a string, with the keys on the way.
  EXPECT_FALSE(writer.writeObject(Value(Dictionary{{"when", Value(Date{1.0})}}), false, collect));
  EXPECT_EQ(traceOf(writer),
            (std::vector<CodedMessage>{{1, "JSON serialisation not supported for Date"},
                                       {1, "Unsupported value for key when in object"}}));
}

}  // namespace
}  // namespace tumbla

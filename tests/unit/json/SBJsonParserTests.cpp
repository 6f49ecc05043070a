#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/SBJsonParser.h"
#include "unit/json/JsonTestSupport.h"

namespace tumbla {
namespace {

using json_test::CodedMessage;
using json_test::number;
using json_test::repeated;
using json_test::traceOf;
using namespace std::string_literals;

struct Accepted {
  std::string text;
  Value expected;
};

TEST(SBJsonParser, AcceptsFragmentsWithExactNumbersAndDecodedStrings) {
  const std::vector<Accepted> cases = {
      {"[]", Value(Array{})},
      {"{}", Value(Dictionary{})},
      {" [ 1 , 2 ] ", Value(Array{number("1"), number("2")})},
      {"[1 2]", Value(Array{number("1"), number("2")})},
      {"[true false]", Value(Array{Value::boolean(true), Value::boolean(false)})},
      // Nothing after a literal is examined, and the comma is optional.
      {"[nulltrue]", Value(Array{Value(), Value::boolean(true)})},
      {R"({"a":1 "b":2})", Value(Dictionary{{"a", number("1")}, {"b", number("2")}})},
      {R"({"a":1,"a":2})", Value(Dictionary{{"a", number("2")}})},
      // Keys with escapes, nested, and one repeating an earlier key in another spelling.
      {R"({"\u00e9":1,"b\"":{"\n":[2],"x":3},"\u0061":4,"a":5})",
       Value(Dictionary{
           {"\u00e9", number("1")},
           {"b\"", Value(Dictionary{{"\n", Value(Array{number("2")})}, {"x", number("3")}})},
           {"a", number("5")}})},
      {"[1]  \n", Value(Array{number("1")})},
      {"-0", number("-0")},
      {"0.5", number("0.5")},
      {"1e10", number("1e10")},
      {"1E-2", number("1E-2")},
      {"-12.5e+3", number("-12.5e+3")},
      {"123456789012345678", number("123456789012345678")},
      {"0.10000000000000000555111512312578270", number("0.10000000000000000555111512312578270")},
      {"1.7976931348623157e308", number("1.7976931348623157e308")},
      {"-4.9e-324", number("-4.9e-324")},
      {"0.000000000000000000000000000000000000000000000000000000000000000000000001",
       number("0.000000000000000000000000000000000000000000000000000000000000000000000001")},
      {"0e999999999999999999999", number("0e999999999999999999999")},
      {R"("\u00e9")", Value("\u00e9")},
      {R"("\uD83D\uDE00")", Value("\U0001F600")},
      {R"("a\/b\\c\"\b\f\n\r\t")", Value("a/b\\c\"\b\f\n\r\t")},
      {R"("\u0000")", Value(std::string(1, '\0'))},
      {"\"\u65e5\u672c \U0001F600\"", Value("\u65e5\u672c \U0001F600")},
      {"\"" + repeated("plain ascii run ", 8) + "\"", Value(repeated("plain ascii run ", 8))},
  };
  for (const auto& c : cases) {
    SBJsonParser parser;
    std::optional<Value> value = parser.fragmentWithString(c.text);
    ASSERT_TRUE(value.has_value()) << c.text;
    EXPECT_EQ(*value, c.expected) << c.text;
    EXPECT_EQ(parser.errorTrace(), nullptr) << c.text;
  }
}

struct Rejected {
  std::string text;
  std::vector<CodedMessage> trace;  // innermost first
};

TEST(SBJsonParser, RejectsWithTheTraceInnermostFirst) {
  const CodedMessage unrecognised{3, "Unrecognised leading character"};
  const CodedMessage inArray{3, "Expected value while parsing array"};
  const CodedMessage brokenUnicode{6, "Broken unicode character"};
  const std::vector<Rejected> cases = {
      {"01", {{2, "Leading 0 disallowed in number"}}},
      {"[-01]", {{2, "Leading 0 disallowed in number"}, inArray}},
      {"+1", {{2, "Leading + disallowed in number"}}},
      {"-", {{2, "No digits after initial minus"}}},
      {"1.", {{2, "No digits after decimal point"}}},
      {"1e", {{2, "No digits after exponent"}}},
      {"1e+", {{2, "No digits after exponent"}}},
      {".5", {unrecognised}},
      {"[1,]", {{9, "Trailing comma disallowed in array"}}},
      {R"({"a":1, })", {{9, "Trailing comma disallowed in object"}}},
      {"[1]x", {{10, "Garbage after JSON"}}},
      {"truex", {{10, "Garbage after JSON"}}},
      {"[1]\0"s, {{10, "Garbage after JSON"}}},
      {"\"a\tb\"", {{5, "Unescaped control character '0x9'"}}},
      {"\"a\0b\""s, {{5, "Unescaped control character '0x0'"}}},
      {R"("\uD83D")", {{6, "Missing low character in surrogate pair"}, brokenUnicode}},
      {R"("\uD83D\n")", {{6, "Missing low character in surrogate pair"}, brokenUnicode}},
      {R"("\uDE00")", {{6, "Invalid high character in surrogate pair"}, brokenUnicode}},
      {R"("\u12G4")", {{6, "Missing hex digit in quad"}, {6, "Missing hex quad"}, brokenUnicode}},
      {R"("\uD83D\u0041")", {{6, "Invalid low surrogate char"}, brokenUnicode}},
      {R"("\uD83D\uDZ00")",
       {{6, "Missing hex digit in quad"},
        {6, "Missing low character in surrogate pair"},
        brokenUnicode}},
      {R"("\x")", {{8, "Illegal escape sequence '0x78'"}}},
      {"\"\\", {{8, "Illegal escape sequence '0x0'"}}},
      {"\"abc", {{11, "Unexpected EOF while parsing string"}}},
      {"\"\xff\"", {{6, "Invalid UTF-8 byte '0xff' in string"}}},
      {"\"\xc0\xaf\"", {{6, "Invalid UTF-8 byte '0xc0' in string"}}},
      {"\"\xed\xa0\x80\"", {{6, "Invalid UTF-8 byte '0xed' in string"}}},
      {"\"\xf4\x90\x80\x80\"", {{6, "Invalid UTF-8 byte '0xf4' in string"}}},
      {"[\"\xe6\x97\"]", {{6, "Invalid UTF-8 byte '0xe6' in string"}, inArray}},
      {"tru", {{3, "Expected 'true'"}}},
      {"[fals]", {{3, "Expected 'false'"}, inArray}},
      {"nul", {{3, "Expected 'null'"}}},
      {"", {{11, "Unexpected end of string"}}},
      {" \n", {{11, "Unexpected end of string"}}},
      {"[x]", {unrecognised, inArray}},
      {"[1,,2]", {unrecognised, inArray}},
      {"[1", {{11, "End of input while parsing array"}}},
      {"[1, ", {{11, "End of input while parsing array"}}},
      {"[ ", {{11, "Unexpected end of string"}, inArray}},
      {"{", {{11, "End of input while parsing object"}}},
      {"{ ", {{3, "Object key string expected"}}},
      {"{1:2}", {{3, "Object key string expected"}}},
      {R"({"a\q":1})", {{8, "Illegal escape sequence '0x71'"}, {3, "Object key string expected"}}},
      {R"({"a" 1})", {{3, "Expected ':' separating key and value"}}},
      {R"({"a":})", {unrecognised, {3, "Object value expected for key: a"}}},
      {R"({"\t":1,"\u0062":x})", {unrecognised, {3, "Object value expected for key: b"}}},
      {R"([{"a":1,"b":x}])", {unrecognised, {3, "Object value expected for key: b"}, inArray}},
      {R"({"k":[{"x":[1,]}]})",
       {{9, "Trailing comma disallowed in array"},
        {3, "Object value expected for key: x"},
        inArray,
        {3, "Object value expected for key: k"}}},
      {R"({"k":{"x":1,"y":{)",
       {{11, "End of input while parsing object"},
        {3, "Object value expected for key: y"},
        {3, "Object value expected for key: k"}}},
      // Beyond what numbers are held as: 39 significant digits, or a magnitude that
      // overflows or underflows a double.
      {"123456789012345678901234567890123456789", {{2, "Failed creating decimal instance"}}},
      {"[1.7976931348623159e308]", {{2, "Failed creating decimal instance"}, inArray}},
      {"-1e-330", {{2, "Failed creating decimal instance"}}},
      {"1e99999999999999999999999", {{2, "Failed creating decimal instance"}}},
  };
  for (const auto& c : cases) {
    SBJsonParser parser;
    EXPECT_FALSE(parser.fragmentWithString(c.text).has_value()) << c.text;
    EXPECT_EQ(traceOf(parser), c.trace) << c.text;
  }
}

// A string's UTF-8 is checked a run at a time, where the run ends; whatever the offset of
// a fault from the string's start, the first fault in the text is the one reported.
TEST(SBJsonParser, ReportsTheFirstFaultOfAStringWhereverItSits) {
  const CodedMessage badLead{6, "Invalid UTF-8 byte '0xe6' in string"};
  const CodedMessage badFF{6, "Invalid UTF-8 byte '0xff' in string"};
  const CodedMessage control{5, "Unescaped control character '0x9'"};
  const std::vector<std::pair<std::string, CodedMessage>> endings = {
      {"\xff\t\"", badFF},         // bad UTF-8, then a control character
      {"\t\xff\"", control},       // the other way round
      {"\xe6\x97\\n\"", badLead},  // cut short by an escape
      {"\xe6\x97\"", badLead},     // cut short by the closing quote
      {"\xe6\x97", badLead},       // cut short by the end of the text
      {"\xc3\xa9\\q\"", {8, "Illegal escape sequence '0x71'"}},
      {"\\n\xff\"", badFF},           // after an escape
      {"\xe6\x97\xa5\xff\"", badFF},  // after a whole sequence
      {"\xc3\xa9", {11, "Unexpected EOF while parsing string"}},
  };
  for (const auto& [ending, error] : endings) {
    for (std::size_t before = 0; before <= 17; ++before) {
      for (const std::string& lead : {std::string(before, 'a'), repeated("\u00e9", before)}) {
        std::string text = "\"" + lead + ending;
        SBJsonParser parser;
        EXPECT_FALSE(parser.fragmentWithString(text).has_value()) << text;
        EXPECT_EQ(traceOf(parser), std::vector<CodedMessage>{error}) << text;
      }
    }
  }
  // Well-formed text at every offset reads back whole.
  for (std::size_t before = 0; before <= 17; ++before) {
    std::string content = std::string(before, 'a') + "\xe6\x97\xa5\xf0\x9f\x98\x80" + "b";
    SBJsonParser parser;
    EXPECT_EQ(parser.fragmentWithString("\"" + content + "\""), Value(content)) << before;
  }
}

TEST(SBJsonParser, ObjectWithStringRequiresAContainerAtTheTop) {
  SBJsonParser parser;
  EXPECT_FALSE(parser.objectWithString("42").has_value());
  EXPECT_EQ(traceOf(parser), (std::vector<CodedMessage>{{4, "Valid fragment, but not JSON"}}));
  EXPECT_EQ(parser.fragmentWithString("42"), number("42"));
  EXPECT_EQ(parser.objectWithString(R"({"a":[]})"), Value(Dictionary{{"a", Value(Array{})}}));

  EXPECT_FALSE(parser.objectWithString(std::nullopt).has_value());
  EXPECT_EQ(traceOf(parser), (std::vector<CodedMessage>{{12, "Input was 'nil'"}}));
}

TEST(SBJsonParser, TraceIsAChainAndIsClearedByTheNextParse) {
  SBJsonParser parser;
  ASSERT_FALSE(parser.objectWithString("[[x]]").has_value());
  const SBJsonBase::ErrorTrace* trace = parser.errorTrace();
  ASSERT_NE(trace, nullptr);
  ASSERT_EQ(trace->size(), 3u);
  EXPECT_EQ(trace->front()->underlying, nullptr);
  EXPECT_EQ((*trace)[2]->underlying, (*trace)[1]);
  EXPECT_EQ((*trace)[1]->underlying, (*trace)[0]);
  for (const auto& error : *trace) EXPECT_EQ(error->domain, "org.quillmere.JSON.ErrorDomain");

  EXPECT_TRUE(parser.objectWithString("[1]").has_value());
  EXPECT_EQ(parser.errorTrace(), nullptr);
}

TEST(SBJsonParser, DepthLimitCountsArraysAndObjects) {
  SBJsonParser parser;
  EXPECT_TRUE(parser.objectWithString(repeated("[", 512) + repeated("]", 512)).has_value());
  EXPECT_FALSE(parser.objectWithString(repeated("[", 513) + repeated("]", 513)).has_value());
  std::vector<CodedMessage> trace = traceOf(parser);
  ASSERT_EQ(trace.size(), 513u);
  EXPECT_EQ(trace.front(), (CodedMessage{7, "Nested too deep"}));
  EXPECT_EQ(trace.back(), (CodedMessage{3, "Expected value while parsing array"}));

  parser.setMaxDepth(2);
  EXPECT_TRUE(parser.objectWithString(R"({"a":[1]})").has_value());
  EXPECT_FALSE(parser.objectWithString(R"({"a":[{}]})").has_value());
  EXPECT_EQ(traceOf(parser), (std::vector<CodedMessage>{{7, "Nested too deep"},
                                                        {3, "Expected value while parsing array"},
                                                        {3, "Object value expected for key: a"}}));
}

TEST(SBJsonParser, NoLimitSurvivesHundredThousandLevels) {
  constexpr std::size_t kLevels = 100000;
  SBJsonParser parser;
  parser.setMaxDepth(0);
  std::optional<Value> deep =
      parser.objectWithString(repeated("[", kLevels) + "7" + repeated("]", kLevels));
  ASSERT_TRUE(deep.has_value());
  const Value* innermost = &*deep;
  for (std::size_t i = 0; i < kLevels; ++i) innermost = &innermost->arrayIf()->front();
  EXPECT_EQ(*innermost, number("7"));

  std::shared_ptr<const Error> outermost;
  {
    SBJsonParser unbalanced;
    unbalanced.setMaxDepth(0);
    EXPECT_FALSE(unbalanced.objectWithString(repeated("[{\"k\":", kLevels)).has_value());
    ASSERT_EQ(unbalanced.errorTrace()->size(), 2 * kLevels + 1);
    EXPECT_EQ(unbalanced.errorTrace()->front()->code, 11);
    outermost = unbalanced.errorTrace()->back();
  }
  // The caller now holds the only reference to a chain of 200,000 errors; releasing it
  // must not recurse once per link.
  EXPECT_EQ(outermost->localizedDescription, "Expected value while parsing array");
  outermost.reset();
}

}  // namespace
}  // namespace tumbla

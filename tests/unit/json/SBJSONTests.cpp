#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/SBJSON.h"
#include "json/SBJsonConveniences.h"
#include "platform/Log.h"
#include "unit/json/JsonTestSupport.h"

namespace tumbla {
namespace {

using json_test::CodedMessage;
using json_test::nestedArrays;
using json_test::number;
using json_test::traceOf;

TEST(SBJSON, ErrorPlaceGetsTheOutermostErrorLeadingToTheInnerOnes) {
  SBJSON json;
  std::shared_ptr<const Error> error;
  EXPECT_FALSE(json.objectWithString("[1", &error).has_value());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, 11);
  EXPECT_EQ(error->localizedDescription, "End of input while parsing array");

  EXPECT_FALSE(json.objectWithString("[1,x]", &error).has_value());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, 3);
  EXPECT_EQ(error->localizedDescription, "Expected value while parsing array");
  ASSERT_NE(error->underlying, nullptr);
  EXPECT_EQ(error->underlying->localizedDescription, "Unrecognised leading character");
  EXPECT_EQ(error->domain, SBJSONErrorDomain);
  EXPECT_EQ(traceOf(json), (std::vector<CodedMessage>{{3, "Unrecognised leading character"},
                                                      {3, "Expected value while parsing array"}}));
}

TEST(SBJSON, ScalarsOnlyWhereAllowed) {
  SBJSON json;
  std::shared_ptr<const Error> error;
  EXPECT_EQ(json.fragmentWithString(R"("s")", &error), Value("s"));
  EXPECT_EQ(error, nullptr);
  EXPECT_FALSE(json.objectWithString(R"("s")", &error).has_value());
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, 4);

  EXPECT_EQ(json.stringWithFragment(Value("s"), &error), "\"s\"");
  EXPECT_FALSE(json.stringWithObject(Value("s"), &error).has_value());
  EXPECT_EQ(error->localizedDescription, "Not valid type for JSON");
  EXPECT_FALSE(json.objectWithString(std::nullopt, true, nullptr).has_value());
  EXPECT_EQ(traceOf(json), (std::vector<CodedMessage>{{12, "Input was 'nil'"}}));
}

TEST(SBJSON, MaxDepthAppliesToReadingAndWriting) {
  SBJSON json;
  EXPECT_EQ(json.maxDepth(), 512u);
  json.setMaxDepth(2);
  EXPECT_EQ(json.maxDepth(), 2u);
  std::shared_ptr<const Error> error;
  EXPECT_TRUE(json.objectWithString("[[1]]", &error).has_value());
  EXPECT_FALSE(json.objectWithString("[[[1]]]", &error).has_value());
  EXPECT_EQ(traceOf(json).front(), (CodedMessage{7, "Nested too deep"}));
  EXPECT_TRUE(json.stringWithObject(nestedArrays(2)).has_value());
  EXPECT_FALSE(json.stringWithObject(nestedArrays(3), &error).has_value());
  EXPECT_EQ(error->code, 7);
}

TEST(SBJSON, SuccessKeepsTheLastFailuresTrace) {
  SBJSON json;
  json.setHumanReadable(true);
  json.setSortKeys(true);
  EXPECT_FALSE(json.objectWithString("[x]").has_value());
  std::vector<CodedMessage> failed = traceOf(json);
  ASSERT_EQ(failed.size(), 2u);
  EXPECT_EQ(json.stringWithObject(Value(Dictionary{{"b", number("1")}, {"a", Value()}})),
            "{\n  \"a\" : null,\n  \"b\" : 1\n}");
  EXPECT_EQ(traceOf(json), failed);
}

// Captures log lines for the life of the test.
class LogCapture {
 public:
  LogCapture()
      : previous_(setLogSink([this](std::string_view line) { lines_.emplace_back(line); })) {}
  ~LogCapture() { setLogSink(previous_); }
  const std::vector<std::string>& lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  LogSink previous_;
};

TEST(JsonConveniences, ConvertInOneCallAndLogFailures) {
  LogCapture log;
  EXPECT_EQ(JSONValue(R"({"a":[1]})"), Value(Dictionary{{"a", Value(Array{number("1")})}}));
  EXPECT_EQ(JSONFragmentValue("true"), Value::boolean(true));
  EXPECT_EQ(JSONRepresentation(Value(Array{Value("x")})), R"(["x"])");
  EXPECT_EQ(JSONFragment(number("2.50")), "2.50");
  EXPECT_TRUE(log.lines().empty());

  EXPECT_FALSE(JSONValue("[x]").has_value());
  EXPECT_FALSE(JSONFragmentValue("").has_value());
  EXPECT_FALSE(JSONRepresentation(Value("x")).has_value());
  EXPECT_FALSE(JSONFragment(Value(Date{})).has_value());
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                "-JSONValue failed. Error trace is: (code 3: Unrecognised leading character; "
                "code 3: Expected value while parsing array)",
                "-JSONFragmentValue failed. Error trace is: (code 11: Unexpected end of string)",
                "-JSONRepresentation failed. Error trace is: (code 4: Not valid type for JSON)",
                "-JSONFragment failed. Error trace is: (code 1: JSON serialisation not "
                "supported for Date)"}));
}

}  // namespace
}  // namespace tumbla

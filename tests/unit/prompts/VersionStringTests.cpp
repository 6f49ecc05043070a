#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "prompts/VersionString.h"

namespace tumbla {
namespace {

struct Case {
  std::optional<std::string_view> receiver;
  std::optional<std::string_view> other;
  int expected;
};

TEST(VersionString, ComparesPieceByPieceNumericallyUnsignedAndByLength) {
  const Case cases[] = {
      {"1.2", "1.10", -1},
      {"2", "10", -1},
      {"1.10", "1.9", 1},
      {"1.0", "1", 1},
      {"1", "1.0.0", -1},
      {"1.0", "1.00", 0},
      {"1.2a", "1.2", 0},
      {"1.b", "1.0", 0},
      {"3.0", std::nullopt, 1},
      {"", "0", 0},
      {"1.-1", "1.5", 1},
      {"1..2", "1.0.2", 0},
      {"1.", "1", 1},
      {" 7", "+7", 0},
      {"10-beta", "10", 0},
      {std::nullopt, "9", 0},
      {std::nullopt, std::nullopt, 0},
      {"99999999999", "2147483647", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compareVersion(c.receiver, c.other), c.expected)
        << c.receiver.value_or("(absent)") << " vs " << c.other.value_or("(absent)");
    EXPECT_EQ(compareVersionDescending(c.receiver, c.other), -c.expected);
  }
}

TEST(VersionString, SortsAListNewestFirstKeepingDistinctVersionsApart) {
  std::vector<std::string> versions{"1.0", "1.10", "1", "1.9", "2.0.1", "0.9"};
  std::stable_sort(versions.begin(), versions.end(),
                   [](const std::string& a, const std::string& b) {
                     return compareVersionDescending(a, b) < 0;
                   });
  EXPECT_EQ(versions, (std::vector<std::string>{"2.0.1", "1.10", "1.9", "1.0", "1", "0.9"}));
}

}  // namespace
}  // namespace tumbla

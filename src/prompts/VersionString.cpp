#include "prompts/VersionString.h"

#include <cstdint>
#include <vector>

#include "value/LeadingNumber.h"

namespace tumbla {

namespace {

std::vector<std::uint32_t> pieceValues(std::string_view version) {
  std::vector<std::uint32_t> values;
  for (std::size_t start = 0;;) {
    std::size_t dot = version.find('.', start);
    std::string_view piece =
        version.substr(start, dot == std::string_view::npos ? dot : dot - start);
    values.push_back(static_cast<std::uint32_t>(leadingInt32(piece)));
    if (dot == std::string_view::npos) return values;
    start = dot + 1;
  }
}

}  // namespace

int compareVersion(std::optional<std::string_view> receiver,
                   std::optional<std::string_view> other) {
  if (!receiver) return 0;
  std::vector<std::uint32_t> mine = pieceValues(*receiver);
  std::vector<std::uint32_t> theirs = other ? pieceValues(*other) : std::vector<std::uint32_t>{};
  for (std::size_t i = 0; i < mine.size() && i < theirs.size(); ++i) {
    if (mine[i] > theirs[i]) return 1;
    if (mine[i] < theirs[i]) return -1;
  }
  if (mine.size() > theirs.size()) return 1;
  if (mine.size() < theirs.size()) return -1;
  return 0;
}

int compareVersionDescending(std::optional<std::string_view> receiver,
                             std::optional<std::string_view> other) {
  return -compareVersion(receiver, other);
}

}  // namespace tumbla

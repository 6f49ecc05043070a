#include "host/NumericOrder.h"

#include <cctype>

namespace tumbla {

namespace {

bool isDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// The digit run at the front of `text`, without its leading zeros, taken off `text`.
std::string_view takeNumber(std::string_view& text) {
  std::size_t end = 0;
  while (end < text.size() && isDigit(text[end])) ++end;
  std::string_view digits = text.substr(0, end);
  text.remove_prefix(end);
  while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
  return digits;
}

}  // namespace

int compareNumerically(std::string_view a, std::string_view b) {
  while (!a.empty() && !b.empty()) {
    if (isDigit(a.front()) && isDigit(b.front())) {
      std::string_view x = takeNumber(a);
      std::string_view y = takeNumber(b);
      // Without leading zeros, the longer run is the larger number.
      if (x.size() != y.size()) return x.size() < y.size() ? -1 : 1;
      if (int order = x.compare(y)) return order < 0 ? -1 : 1;
      continue;
    }
    if (a.front() != b.front()) {
      return static_cast<unsigned char>(a.front()) < static_cast<unsigned char>(b.front()) ? -1 : 1;
    }
    a.remove_prefix(1);
    b.remove_prefix(1);
  }
  if (a.empty() && b.empty()) return 0;
  return a.empty() ? -1 : 1;
}

}  // namespace tumbla

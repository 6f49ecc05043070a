#include "value/LeadingNumber.h"

#include "value/Ascii.h"

#include <locale.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <string>

namespace tumbla {

namespace {

std::size_t skipSpace(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isAsciiSpace(text[i])) ++i;
  return i;
}

// The "C" locale, made once: a GTK program runs in the player's locale, where "1.5" would
// otherwise read as 1.
locale_t cLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", nullptr);
  return locale;
}

}  // namespace

std::int64_t leadingInteger(std::string_view text) {
  std::size_t i = skipSpace(text);
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t result = 0;
  for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
    int digit = text[i] - '0';
    if (result > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
      return negative ? std::numeric_limits<std::int64_t>::min()
                      : std::numeric_limits<std::int64_t>::max();
    }
    result = result * 10 + digit;
  }
  return negative ? -result : result;
}

std::int32_t leadingInt32(std::string_view text) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(leadingInteger(text), std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

double leadingReal(std::string_view text) {
  text.remove_prefix(skipSpace(text));
  // strtod_l rather than from_chars: it answers the overflowed or underflowed value of a
  // number too large or too small, where from_chars answers nothing.
  return strtod_l(std::string(text).c_str(), nullptr, cLocale());
}

}  // namespace tumbla

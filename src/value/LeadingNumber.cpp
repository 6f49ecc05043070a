#include "value/LeadingNumber.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "value/Ascii.h"

namespace tumbla {

namespace {

// Where the number's sign (if any) ends and its body begins, after white space.
struct SignedStart {
  bool negative = false;
  std::size_t body = 0;
};

SignedStart skipSpaceAndSign(std::string_view text) {
  SignedStart start;
  std::size_t i = 0;
  while (i < text.size() && isAsciiSpace(text[i])) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) start.negative = text[i++] == '-';
  start.body = i;
  return start;
}

// For a number too large or too small for a double: whether it is too large, judged from
// the power of ten of its first significant digit.
bool overflows(std::string_view number) {
  std::size_t i = 0;
  long significantIntegerDigits = 0;
  bool found = false;
  for (; i < number.size() && isAsciiDigit(number[i]); ++i) {
    if (number[i] != '0') found = true;
    if (found) ++significantIntegerDigits;
  }
  long power = found ? significantIntegerDigits - 1 : 0;
  if (i < number.size() && number[i] == '.') {
    for (++i; i < number.size() && isAsciiDigit(number[i]); ++i) {
      if (!found) {
        --power;
        if (number[i] != '0') found = true;
      }
    }
  }
  long exponent = 0;
  if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    std::string_view rest = number.substr(i + 1);
    std::size_t skip = !rest.empty() && rest[0] == '+' ? 1 : 0;
    auto [end, error] = std::from_chars(rest.data() + skip, rest.data() + rest.size(), exponent);
    if (error == std::errc::result_out_of_range) {
      exponent = rest.substr(skip).starts_with('-') ? std::numeric_limits<long>::min() / 2
                                                    : std::numeric_limits<long>::max() / 2;
    }
  }
  return power + exponent > 0;
}

}  // namespace

double leadingReal(std::string_view text) {
  SignedStart start = skipSpaceAndSign(text);
  std::string_view body = text.substr(start.body);
  // A second sign is no number; from_chars would take a "-" as the sign itself.
  if (body.empty() || body[0] == '+' || body[0] == '-') return 0.0;
  double value = 0.0;
  auto [end, error] =
      std::from_chars(body.data(), body.data() + body.size(), value, std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    value = overflows(body.substr(0, static_cast<std::size_t>(end - body.data())))
                ? std::numeric_limits<double>::infinity()
                : 0.0;
  } else if (error != std::errc()) {
    return 0.0;
  }
  return start.negative ? -value : value;
}

std::int64_t leadingInteger(std::string_view text) {
  SignedStart start = skipSpaceAndSign(text);
  std::int64_t result = 0;
  for (std::size_t i = start.body; i < text.size() && isAsciiDigit(text[i]); ++i) {
    int digit = text[i] - '0';
    if (result > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
      return start.negative ? std::numeric_limits<std::int64_t>::min()
                            : std::numeric_limits<std::int64_t>::max();
    }
    result = result * 10 + digit;
  }
  return start.negative ? -result : result;
}

std::int32_t leadingInt32(std::string_view text) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(leadingInteger(text), std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max()));
}

}  // namespace tumbla

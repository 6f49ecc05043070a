#include "json/JsonNumber.h"

#include <charconv>
#include <cstddef>
#include <system_error>

namespace tumbla {

namespace {

constexpr int kMaxSignificantDigits = 38;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

const char* skipDigits(const char* p, const char* end) {
  while (p < end && isDigit(*p)) ++p;
  return p;
}

// The pieces of a number that passed the grammar.
struct NumberParts {
  const char* integerBegin;
  const char* integerEnd;
  const char* fractionBegin;  // equal to fractionEnd when there is no fraction
  const char* fractionEnd;
  const char* exponentBegin;  // equal to exponentEnd when there is no exponent
  const char* exponentEnd;
};

// Whether the number has at most 38 significant digits (the precision of the decimal
// type numbers are held as) and a magnitude a double can approximate, neither overflowing
// to infinity nor underflowing to zero. Every real the writer writes reads back.
bool fitsDecimal(const char* begin, const NumberParts& n) {
  std::ptrdiff_t integerDigits = n.integerEnd - n.integerBegin;
  std::ptrdiff_t totalDigits = integerDigits + (n.fractionEnd - n.fractionBegin);
  auto digitAt = [&](std::ptrdiff_t i) {
    return i < integerDigits ? n.integerBegin[i] : n.fractionBegin[i - integerDigits];
  };
  std::ptrdiff_t first = 0;
  while (first < totalDigits && digitAt(first) == '0') ++first;
  if (first == totalDigits) return true;  // zero, whatever the exponent
  std::ptrdiff_t last = totalDigits - 1;
  while (digitAt(last) == '0') --last;
  if (last - first + 1 > kMaxSignificantDigits) return false;

  double approximation = 0;
  auto result = std::from_chars(begin, n.exponentEnd, approximation);
  return result.ec == std::errc();
}

}  // namespace

JsonNumberScan scanJsonNumber(const char* p, const char* end) {
  const char* begin = p;
  NumberParts parts{};
  if (*p == '-') ++p;
  parts.integerBegin = p;
  if (p < end && *p == '0') {
    ++p;
    if (p < end && isDigit(*p)) return {p, "Leading 0 disallowed in number"};
  } else {
    p = skipDigits(p, end);
    if (p == parts.integerBegin) return {p, "No digits after initial minus"};
  }
  parts.integerEnd = p;

  parts.fractionBegin = parts.fractionEnd = p;
  if (p < end && *p == '.') {
    parts.fractionBegin = ++p;
    p = skipDigits(p, end);
    if (p == parts.fractionBegin) return {p, "No digits after decimal point"};
    parts.fractionEnd = p;
  }

  parts.exponentBegin = parts.exponentEnd = p;
  if (p < end && (*p == 'e' || *p == 'E')) {
    ++p;
    if (p < end && (*p == '+' || *p == '-')) ++p;
    parts.exponentBegin = p;
    p = skipDigits(p, end);
    if (p == parts.exponentBegin) return {p, "No digits after exponent"};
    parts.exponentEnd = p;
  }

  // Most numbers are short and have no exponent; only the others need the range check.
  bool mayNotFit =
      parts.exponentBegin != parts.exponentEnd ||
      (parts.integerEnd - parts.integerBegin) + (parts.fractionEnd - parts.fractionBegin) >
          kMaxSignificantDigits;
  if (mayNotFit && !fitsDecimal(begin, parts)) return {p, "Failed creating decimal instance"};
  return {p, nullptr};
}

bool isJsonNumber(const char* begin, const char* end) {
  if (begin == end || (*begin != '-' && !isDigit(*begin))) return false;
  JsonNumberScan scan = scanJsonNumber(begin, end);
  return scan.error == nullptr && scan.end == end;
}

}  // namespace tumbla

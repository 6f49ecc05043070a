#include "json/JsonNumber.h"

#include <cstddef>
#include <cstdint>

namespace tumbla {

namespace {

constexpr int kMaxSignificantDigits = 38;
constexpr std::int64_t kMinExponent = -128;
constexpr std::int64_t kMaxExponent = 127;

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
  bool negativeExponent;
  const char* exponentBegin;  // equal to exponentEnd when there is no exponent
  const char* exponentEnd;
};

// Whether the decimal type can hold the number exactly: written as an integer mantissa
// of at most 38 digits times 10^e, some such form must have e between -128 and 127.
bool fitsDecimal(const NumberParts& n) {
  // Positions count digits of integer and fraction together, left to right.
  std::ptrdiff_t integerDigits = n.integerEnd - n.integerBegin;
  std::ptrdiff_t totalDigits = integerDigits + (n.fractionEnd - n.fractionBegin);
  auto digitAt = [&](std::ptrdiff_t i) {
    return i < integerDigits ? n.integerBegin[i] : n.fractionBegin[i - integerDigits];
  };
  std::ptrdiff_t first = 0;
  while (first < totalDigits && digitAt(first) == '0') ++first;
  if (first == totalDigits) return true;  // zero
  std::ptrdiff_t last = totalDigits - 1;
  while (digitAt(last) == '0') --last;
  std::int64_t significant = last - first + 1;
  if (significant > kMaxSignificantDigits) return false;

  // Saturate the written exponent: any value this large is out of range whatever the
  // digits say, since the text itself is far shorter.
  constexpr std::int64_t kSaturated = std::int64_t{1} << 50;
  std::int64_t written = 0;
  for (const char* p = n.exponentBegin; p < n.exponentEnd && written < kSaturated; ++p) {
    written = written * 10 + (*p - '0');
  }
  if (n.negativeExponent) written = -written;
  // Exponent of the last significant digit's place.
  std::int64_t exponent = (integerDigits - 1 - last) + written;
  std::int64_t spareDigits = kMaxSignificantDigits - significant;
  return exponent >= kMinExponent && exponent - spareDigits <= kMaxExponent;
}

}  // namespace

JsonNumberScan scanJsonNumber(const char* p, const char* end) {
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
    if (p < end && (*p == '+' || *p == '-')) parts.negativeExponent = *p++ == '-';
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
  if (mayNotFit && !fitsDecimal(parts)) return {p, "Failed creating decimal instance"};
  return {p, nullptr};
}

bool isJsonNumber(const char* begin, const char* end) {
  if (begin == end || (*begin != '-' && !isDigit(*begin))) return false;
  JsonNumberScan scan = scanJsonNumber(begin, end);
  return scan.error == nullptr && scan.end == end;
}

}  // namespace tumbla

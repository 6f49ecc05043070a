#pragma once

#include <cstddef>
#include <string_view>

namespace tumbla {

// Character classes of ASCII alone. The <cctype> ones follow the process's locale, which
// a GTK program takes from the player's environment, so a byte of a UTF-8 sequence could
// count as a letter or a space there.

constexpr bool isAsciiDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

constexpr bool isAsciiAlpha(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

constexpr bool isAsciiAlnum(char ch) {
  return isAsciiAlpha(ch) || isAsciiDigit(ch);
}

// The six white-space characters of the C locale: space, tab, line feed, vertical tab,
// form feed and carriage return.
constexpr bool isAsciiSpace(char ch) {
  return ch == ' ' || (ch >= '\t' && ch <= '\r');
}

constexpr char asciiLower(char ch) {
  return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

// Names (hosts, header and setting names) compare by ASCII case alone: under a Turkish
// locale "I" is not the capital of "i".
constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace tumbla

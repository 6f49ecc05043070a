#pragma once

#include <string_view>

namespace tumbla {

// Character classes and case of ASCII alone. The C library's versions follow the process
// locale, which GTK takes from the player's environment: under a Turkish locale "I" is not
// the capital of "i", and other locales class bytes above 127 as letters or spaces.
constexpr bool isAsciiDigit(char ch) {
  return ch >= '0' && ch <= '9';
}

constexpr bool isAsciiAlpha(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

constexpr bool isAsciiAlphanumeric(char ch) {
  return isAsciiAlpha(ch) || isAsciiDigit(ch);
}

constexpr bool isAsciiSpace(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

constexpr char asciiLower(char ch) {
  return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace tumbla

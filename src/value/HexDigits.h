#pragma once

namespace tumbla {

// The value of one hexadecimal digit of either case, or -1 for any other character.
constexpr int hexDigitValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// The digits for writing one: lower case (JSON escapes), upper case (percent escapes).
inline constexpr char kLowerHexDigits[] = "0123456789abcdef";
inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

}  // namespace tumbla

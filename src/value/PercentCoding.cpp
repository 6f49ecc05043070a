#include "value/PercentCoding.h"

#include "value/Ascii.h"
#include "value/HexDigits.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

bool isUnreserved(char ch) {
  return isAsciiAlnum(ch) || ch == '-' || ch == '.' || ch == '_' || ch == '~';
}

// Escapes every byte as %XX but the unreserved ones and, with `keepSlash`, "/".
std::string percentEncode(std::string_view text, bool keepSlash) {
  std::string encoded;
  encoded.reserve(text.size());
  for (char ch : text) {
    if (isUnreserved(ch) || (keepSlash && ch == '/')) {
      encoded.push_back(ch);
    } else {
      auto byte = static_cast<unsigned char>(ch);
      encoded.push_back('%');
      encoded.push_back(kUpperHexDigits[byte >> 4]);
      encoded.push_back(kUpperHexDigits[byte & 0xF]);
    }
  }
  return encoded;
}

}  // namespace

std::optional<std::string> percentDecodeUtf8(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexDigitValue(text[i + 1]);
    int low = hexDigitValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  if (!isValidUtf8(decoded)) return std::nullopt;
  return decoded;
}

std::string percentEncodePath(std::string_view text) {
  return percentEncode(text, true);
}

std::string percentEncodeComponent(std::string_view text) {
  return percentEncode(text, false);
}

}  // namespace tumbla

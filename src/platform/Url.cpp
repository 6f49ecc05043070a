#include "platform/Url.h"

#include <cctype>

namespace tumbla {

namespace {

int hexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

bool isSchemeChar(char ch) {
  return std::isalnum(static_cast<unsigned char>(ch)) || ch == '+' || ch == '-' || ch == '.';
}

}  // namespace

std::optional<Url> Url::parse(std::string_view text) {
  std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 ||
      !std::isalpha(static_cast<unsigned char>(text[0]))) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < colon; ++i) {
    if (!isSchemeChar(text[i])) return std::nullopt;
  }

  Url url;
  url.text_ = std::string(text);
  url.scheme_ = std::string(text.substr(0, colon));
  std::string_view rest = text.substr(colon + 1);

  if (std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
    url.fragment_ = std::string(rest.substr(hash + 1));
    rest = rest.substr(0, hash);
  }
  if (std::size_t question = rest.find('?'); question != std::string_view::npos) {
    url.query_ = std::string(rest.substr(question + 1));
    rest = rest.substr(0, question);
  }
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    std::size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    if (std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
      authority.remove_prefix(at + 1);
    }
    std::string_view host = authority;
    if (authority.starts_with('[')) {
      std::size_t close = authority.find(']');
      host = authority.substr(0, close == std::string_view::npos ? authority.size() : close + 1);
      std::string_view after = authority.substr(host.size());
      if (after.starts_with(':')) url.port_ = std::string(after.substr(1));
    } else if (std::size_t portColon = authority.rfind(':'); portColon != std::string_view::npos) {
      host = authority.substr(0, portColon);
      url.port_ = std::string(authority.substr(portColon + 1));
    }
    if (!host.empty()) url.host_ = std::string(host);
  }
  std::optional<std::string> decodedPath = percentDecodeUtf8(rest);
  url.path_ = decodedPath ? std::move(*decodedPath) : std::string(rest);
  return url;
}

Url Url::fileURLWithPath(std::string_view absolutePath) {
  std::optional<Url> url = parse("file://" + percentEncodePath(absolutePath));
  return std::move(*url);
}

std::optional<std::string> percentDecodeUtf8(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded.push_back(text[i]);
      continue;
    }
    if (i + 2 >= text.size()) return std::nullopt;
    int high = hexValue(text[i + 1]);
    int low = hexValue(text[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    decoded.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  if (!isValidUtf8(decoded)) return std::nullopt;
  return decoded;
}

namespace {

// Escapes every byte as %XX but ASCII letters, digits, "-", ".", "_", "~" and the bytes of
// `alsoKept`. Tested by value, never by the C library's classes, which follow the locale.
std::string percentEncodeKeeping(std::string_view text, std::string_view alsoKept) {
  static constexpr char digits[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (char ch : text) {
    auto byte = static_cast<unsigned char>(ch);
    bool unreserved = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                      (byte >= '0' && byte <= '9') || ch == '-' || ch == '.' || ch == '_' ||
                      ch == '~';
    if (unreserved || alsoKept.find(ch) != std::string_view::npos) {
      encoded.push_back(ch);
    } else {
      encoded.push_back('%');
      encoded.push_back(digits[byte >> 4]);
      encoded.push_back(digits[byte & 0xF]);
    }
  }
  return encoded;
}

}  // namespace

std::string percentEncodePath(std::string_view text) {
  return percentEncodeKeeping(text, "/");
}

std::string percentEncodeComponent(std::string_view text) {
  return percentEncodeKeeping(text, "");
}

bool isValidUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    unsigned char lead = bytes[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    char32_t codePoint;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      codePoint = lead & 0x07;
    } else {
      return false;
    }
    if (n - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      codePoint = (codePoint << 6) | (bytes[i + k] & 0x3F);
    }
    bool overlong = (length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000);
    bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    if (overlong || surrogate || codePoint > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

}  // namespace tumbla

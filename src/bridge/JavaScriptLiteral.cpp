#include "bridge/JavaScriptLiteral.h"

#include "value/Utf8.h"

namespace tumbla {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void appendUnicodeEscape(std::string& out, unsigned code) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(code >> shift) & 0xF];
}

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t validSequenceLength(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  return p[0] < 0x80 ? 1 : utf8SequenceLength(p, p + text.size());
}

}  // namespace

std::string javaScriptStringLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  while (!text.empty()) {
    std::size_t length = validSequenceLength(text);
    if (length == 0) {
      out += "\\uFFFD";
      text.remove_prefix(1);
      continue;
    }
    std::string_view sequence = text.substr(0, length);
    text.remove_prefix(length);
    if (length > 1) {
      // Line and paragraph separators end a line in older engines' string literals.
      if (sequence == "\u2028") {
        out += "\\u2028";
      } else if (sequence == "\u2029") {
        out += "\\u2029";
      } else {
        out += sequence;
      }
      continue;
    }
    char c = sequence[0];
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      // "<" and ">" escaped, so that no "</script>" or "<!--" appears even if the script
      // is ever placed inside a page.
      case '<':
      case '>':
      case '\'':
        appendUnicodeEscape(out, static_cast<unsigned char>(c));
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          appendUnicodeEscape(out, static_cast<unsigned char>(c));
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

std::string javaScriptOptionalStringLiteral(const std::optional<std::string>& text) {
  return javaScriptStringLiteral(text ? std::string_view(*text) : std::string_view("(null)"));
}

}  // namespace tumbla
